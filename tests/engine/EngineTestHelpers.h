#pragma once
// Helpers of the engine tests: a throw-away registry key under HKLM and
// small builders for setup lists.
#include <windows.h>

#include <json/json.h>

#include <atomic>
#include <string>

#include "common/CodeChange.h"
#include "tests/support/ScopedRegistryKey.h"

// The engine tests' throw-away key under HKLM.
using TestMachineKey = ScopedRegistryKey;

inline Json::Value Component(const char* name, int order, const std::string& regkey = std::string())
{
    Json::Value c(Json::objectValue);
    c["id"] = std::string("id_") + name;
    c["name"] = name;
    c["order"] = order;
    c["version"] = "1.0.0.17";
    c["regkey"] = regkey;
    c["mutex"] = std::string("mutex_") + name;
    return c;
}

inline std::string ListText(const Json::Value& components, const char* mode = nullptr)
{
    Json::Value root(Json::objectValue);
    if (mode)
        root["mode"] = mode;
    root["installs"] = components;
    Json::StreamWriterBuilder writer;
    return Json::writeString(writer, root);
}
