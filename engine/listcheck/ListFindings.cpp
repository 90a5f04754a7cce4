#include "engine/listcheck/ListFindings.h"

std::string FormatFinding(const ListFinding& finding)
{
    std::string line = finding.level == FindingLevel::Error ? "error: " : "warning: ";
    line += finding.file + ": ";
    if (!finding.location.empty())
        line += finding.location + ": ";
    return line + finding.message;
}

size_t CountErrors(const ListFindings& findings)
{
    size_t errors = 0;
    for (const ListFinding& finding : findings)
        errors += finding.level == FindingLevel::Error ? 1 : 0;
    return errors;
}
