#pragma once
// Tolerant reads of JSON members: a missing member, a member of another type
// or a container that is not an object reads as "" / false / 0. Nothing throws.
#include <json/json.h>

#include <cstdint>
#include <string>

// The member, or null when value is not an object or lacks it.
const Json::Value& JsonMember(const Json::Value& value, const char* key);
std::string JsonString(const Json::Value& value, const char* key);
bool JsonBool(const Json::Value& value, const char* key);
// An integer member that fits 32 bits; anything else reads as 0.
int32_t JsonInt(const Json::Value& value, const char* key);
