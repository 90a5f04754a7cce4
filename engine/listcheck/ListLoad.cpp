#include "engine/listcheck/ListLoad.h"

#include "common/AesCipher.h"
#include "common/FileSystem.h"
#include "engine/SetupListFile.h"

LoadedList LoadListFile(const std::wstring& path, const std::string& label, ListFindings& findings)
{
    LoadedList list;
    if (!FileSystem::PathExists(path.c_str())) {
        findings.push_back({FindingLevel::Error, label, "", "the file does not exist"});
        return list;
    }
    std::string text;
    if (ReadListFile(path, false, text)) {
        list.parsed = ParseListText(text, list.root);
        return list;
    }
    // The plain text's messages describe the fault; an encoded list that
    // does not decode to JSON reads as noise.
    std::string errors;
    Json::Value ignored;
    ParseListText(text, ignored, &errors);
    if (ReadListFile(path, true, text)) {
        list.encoded = true;
        list.parsed = ParseListText(text, list.root);
        return list;
    }
    while (!errors.empty() && (errors.back() == '\n' || errors.back() == ' '))
        errors.pop_back();
    findings.push_back({FindingLevel::Error, label, "",
                        "the text does not parse as JSON, plain or encoded (the engine rejects it): " + errors});
    return list;
}
