#include "tests/actions/FakeHost.h"

#include <gtest/gtest.h>

#include "actions/CreateInstaller.h"
#include "common/CodeChange.h"

std::shared_ptr<Json::Value> ParseAction(const std::string& text)
{
    auto value = std::make_shared<Json::Value>();
    Json::Reader reader;
    EXPECT_TRUE(reader.parse(text, *value, false)) << text;
    return value;
}

bool RunAction(const std::shared_ptr<FakeHost>& host, const std::string& action)
{
    std::string result;
    auto executor = CreateInstaller(host->uninstall ? "uninstall" : "install", host);
    auto parsed = ParseAction(action);
    return executor->DoAction((*parsed)["action"].asString(), result, parsed);
}

std::shared_ptr<_SetupList> FakeHost::AddComponent(const std::string& name, const std::vector<std::string>& actions)
{
    auto component = std::make_shared<_SetupList>();
    component->strName = name;
    for (const auto& text : actions)
        component->vecActions.push_back(ParseAction(text));
    components.push_back(component);
    return component;
}

std::string JsonPath(const std::wstring& path)
{
    std::string result;
    for (char c : Utf8(path)) {
        result += c;
        if (c == '\\')
            result += '\\';
    }
    return result;
}
