#pragma once
// The run plan: every action of a list in run order, placeholders expanded
// and the executor variant chosen, without touching the machine.
#include <json/json.h>

#include <string>

#include "actions/VerbKeys.h"

struct PlanOptions {
    ExecutorKind kind = ExecutorKind::Install;
    std::wstring installDir;  // as the dir switch gives it
    std::string winver;       // "xp", "7" or "10"
    std::wstring setupDir;    // the engine's folder at install time
};

// The engine's version text for a --winver value, "" when unknown. Windows
// 10 reports itself as 6.2 to the engine (its manifest stops at Windows 7).
std::string PlanVersionText(const std::string& winver);
// The plan as text; false when the options are unusable.
bool WritePlan(const Json::Value& root, const PlanOptions& options, std::string& out, std::string& problem);
