#include "engine/model/JsonFields.h"

const Json::Value& JsonMember(const Json::Value& value, const char* key)
{
    if (!value.isObject())
        return Json::Value::nullSingleton();
    const Json::Value* member = value.find(key, key + std::char_traits<char>::length(key));
    return member ? *member : Json::Value::nullSingleton();
}

std::string JsonString(const Json::Value& value, const char* key)
{
    const Json::Value& member = JsonMember(value, key);
    return member.isString() ? member.asString() : std::string();
}

bool JsonBool(const Json::Value& value, const char* key)
{
    const Json::Value& member = JsonMember(value, key);
    return member.isBool() && member.asBool();
}

int32_t JsonInt(const Json::Value& value, const char* key)
{
    const Json::Value& member = JsonMember(value, key);
    return (member.isIntegral() && member.isInt()) ? member.asInt() : 0;
}
