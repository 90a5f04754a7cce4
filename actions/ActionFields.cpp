#include "actions/ActionFields.h"

#include "common/CodeChange.h"

std::wstring ActionText(const Json::Value& action, const char* key)
{
    const Json::Value& value = action[key];
    if (value.isNull())
        return std::wstring();
    return CCodeChange::StringUTF8toUTF16(value.asString());
}

bool ActionBool(const Json::Value& action, const char* key, bool fallback)
{
    if (!action.isMember(key))
        return fallback;
    return action[key].asBool();
}

std::string ActionStyled(const Json::Value& action)
{
    Json::StyledWriter writer;
    return writer.write(action);
}
