#pragma once
// Reading an action's keys. A missing key reads as "" (or the given default);
// a key of the wrong JSON type raises Json::LogicError, which the dispatch
// turns into a failed action.
#include <json/json.h>

#include <string>

#include "common/CodeChange.h"

// The key's text in UTF-16.
std::wstring ActionText(const Json::Value& action, const char* key);
// The key as a boolean; fallback when the key is absent.
bool ActionBool(const Json::Value& action, const char* key, bool fallback);
// The action as indented JSON text, for debug lines.
std::string ActionStyled(const Json::Value& action);
