#pragma once
// What the list checker reports: one finding per problem, at its JSON location.
#include <string>
#include <vector>

enum class FindingLevel { Error, Warning };

struct ListFinding {
    FindingLevel level = FindingLevel::Error;
    std::string file;      // the list's name as given
    std::string location;  // "installs[1].actions[4].dirname", or "" for the whole file
    std::string message;
};

using ListFindings = std::vector<ListFinding>;

// "error: setup.ini: installs[1].actions[4]: <message>"
std::string FormatFinding(const ListFinding& finding);
size_t CountErrors(const ListFindings& findings);
