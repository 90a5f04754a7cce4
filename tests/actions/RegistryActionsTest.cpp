#include <gtest/gtest.h>

#include "actions/BaseOperation.h"
#include "actions/CreateInstaller.h"
#include "common/Handles.h"
#include "tests/actions/FakeHost.h"
#include "tests/support/ScopedRegistryKey.h"
#include "tests/support/TestSupport.h"

namespace {

// A unique key under HKCU\Software, removed with its subtree at the end.
class TestKey : public ScopedRegistryKey {
public:
    TestKey() : ScopedRegistryKey(HKEY_CURRENT_USER) { }
};

bool KeyExists(HKEY root, const std::wstring& path)
{
    UniqueHKey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The raw value: type and bytes.
bool ReadRaw(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& type, std::wstring& text,
             DWORD& bytes)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[1024] = {};
    bytes = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS)
        return false;
    text = buffer;
    // The stored size: the read above may count a terminator that it added.
    return ::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS;
}

std::wstring ReadText(HKEY root, const std::wstring& path, const std::wstring& name)
{
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
    return ReadRaw(root, path, name, type, text, bytes) ? text : L"<missing>";
}

void SetText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value)
{
    ASSERT_TRUE(BaseOperation::SetRegValue(path, name, value, root));
}

class RegistryActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        component = host->AddComponent("Service", {});
        component->strRegKey = Utf8(key.Path());
        component->strVersion = "1.0.0.17";
        component->strInstallDir = "C:\\Orbisoft";
        host->mode = "silent";
    }
    bool Run(const std::string& action)
    {
        std::string result;
        auto executor = CreateInstaller(host->uninstall ? "uninstall" : "install", host);
        last = ParseAction(action);
        return executor->DoAction((*last)["action"].asString(), result, last);
    }

    TestKey key;
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::shared_ptr<_SetupList> component;
    std::shared_ptr<Json::Value> last;
};

}  // namespace

TEST_F(RegistryActions, WriteregExpandsEveryTokenAndStoresAString)
{
    EXPECT_TRUE(Run(R"({"action":"writereg","CLASS":"HKCU","KEY":"$REGKEY$","SUBKEY":"Version",)"
                    R"("value":"$VERSIONCODE$/$VERSIONCODE$ $MODE$ $PROGRAMDIR$\\a;$PROGRAMDIR$\\b"})"));
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
    ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, key.Path(), L"Version", type, text, bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(text, L"1.0.0.17/1.0.0.17 silent C:\\Orbisoft\\a;C:\\Orbisoft\\b");
}

TEST_F(RegistryActions, CoverFalseKeepsANonEmptyValueAndFillsAnEmptyOne)
{
    SetText(HKEY_CURRENT_USER, key.Path(), L"Keep", L"0");
    SetText(HKEY_CURRENT_USER, key.Path(), L"Empty", L"");
    SetText(HKEY_CURRENT_USER, key.Path(), L"Long", std::wstring(400, L'x'));
    DebugCapture capture;
    EXPECT_TRUE(Run("{\"action\":\"writereg\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                    "\",\"SUBKEY\":\"Keep\",\"value\":\"1\",\"bCover\":false}"));
    EXPECT_TRUE(Run("{\"action\":\"writereg\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                    "\",\"SUBKEY\":\"Empty\",\"value\":\"1\",\"bCover\":false}"));
    // A stored text longer than the usual read buffer is kept too.
    EXPECT_TRUE(Run("{\"action\":\"writereg\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                    "\",\"SUBKEY\":\"Long\",\"value\":\"1\",\"bCover\":false}"));
    EXPECT_TRUE(Run("{\"action\":\"writereg\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                    "\",\"SUBKEY\":\"Cover\",\"value\":\"2\",\"bCover\":true}"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"Keep"), L"0");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"Empty"), L"1");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"Long"), std::wstring(400, L'x'));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"Cover"), L"2");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>writeregKeep is not null, wstrData = 0\n"));
    EXPECT_EQ(capture.Lines().size(), 2u);
}

TEST_F(RegistryActions, UnknownClassWritesNothingAndReportsAnInvalidHandle)
{
    DebugCapture capture;
    EXPECT_TRUE(Run("{\"action\":\"writereg\",\"CLASS\":\"hkcu\",\"KEY\":\"" + key.Json() +
                    "\",\"SUBKEY\":\"V\",\"value\":\"1\"}"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
    Json::StyledWriter writer;
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], WidenAscii("stagehand.exe=>writereg RegCreateKeyEx :6,key=" + writer.write(*last) + "\n"));
}

TEST_F(RegistryActions, UninstallWriteregExpandsOnlyVersionAndModeAndIgnoresCover)
{
    host->uninstall = true;
    SetText(HKEY_CURRENT_USER, key.Path(), L"V", L"old");
    EXPECT_TRUE(Run("{\"action\":\"writereg\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                    "\",\"SUBKEY\":\"V\",\"value\":\"$VERSIONCODE$ $MODE$ $PROGRAMDIR$\",\"bCover\":false}"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"V"), L"1.0.0.17 silent $PROGRAMDIR$");
}

TEST_F(RegistryActions, WriteregsilentWritesOnlyWithNosc)
{
    const std::string action = "{\"action\":\"writeregsilent\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                               "\",\"SUBKEY\":\"S\",\"value\":\"1\"}";
    EXPECT_TRUE(Run(action));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
    host->noSc = true;
    EXPECT_TRUE(Run(action));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"S"), L"1");
}

TEST_F(RegistryActions, WriteconfigRecordsTheShortcutFlagUnderTheComponentKey)
{
    // Under HKLM as the verb always writes there.
    std::wstring machineKey = L"SOFTWARE\\LarkspurTestCfg" + std::to_wstring(::GetCurrentProcessId());
    component->strRegKey = Utf8(machineKey);
    EXPECT_TRUE(Run(R"({"action":"writeconfig"})"));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, machineKey, L"bNoShortCut"), L"0");
    EXPECT_EQ((*last)["KEY"].asString(), "$REGKEY$");
    EXPECT_EQ((*last)["value"].asString(), "0");
    component->bNoShortCut = true;
    EXPECT_TRUE(Run(R"({"action":"writeconfig"})"));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, machineKey, L"bNoShortCut"), L"1");
    EXPECT_TRUE(
        Run(R"({"action":"writereg","CLASS":"HKLM","KEY":"$REGKEY$","SUBKEY":"Version","value":"$VERSIONCODE$"})"));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, machineKey, L"Version"), L"1.0.0.17");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, machineKey.c_str());
}

TEST_F(RegistryActions, TwoInstallTimeActionsOfOneRunStoreTheSameNumber)
{
    host->AddComponent("Larkspur", {});
    component->vecActions.push_back(ParseAction("{\"action\":\"writeinstalltime\",\"CLASS\":\"HKCU\",\"KEY\":\"" +
                                                key.Json() + "\",\"SUBKEY\":\"InstallTime\",\"value\":\"x\"}"));
    component->vecActions.push_back(ParseAction(R"({"action":"mkdir","dirname":""})"));
    host->components[1]->vecActions.push_back(
        ParseAction("{\"action\":\"writeinstalltime\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() +
                    "\\\\b\",\"SUBKEY\":\"InstallTime\"}"));
    auto executor = CreateInstaller("install", host);
    auto installer = std::dynamic_pointer_cast<Installer>(executor);
    ASSERT_TRUE(installer);
    ::Sleep(50);
    EXPECT_TRUE(executor->ProcessList());
    std::wstring first = ReadText(HKEY_CURRENT_USER, key.Path(), L"InstallTime");
    EXPECT_EQ(first, installer->InstallTime());
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path() + L"\\b", L"InstallTime"), first);
    EXPECT_EQ(std::to_wstring(std::stoll(first)), first);
    // The reported action carries the filled-in value.
    EXPECT_EQ((*host->reported[0])["value"].asString(), Utf8(first));
}

TEST_F(RegistryActions, DelregkeyRemovesOnlyAKeyWithoutSubkeys)
{
    host->uninstall = true;
    SetText(HKEY_CURRENT_USER, key.Path() + L"\\Product", L"V", L"1");
    const std::string parent = "{\"action\":\"delregkey\",\"CLASS\":\"HKCU\",\"KEY\":\"" + key.Json() + "\"}";
    EXPECT_TRUE(Run(parent));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key.Path()));
    component->strRegKey = Utf8(key.Path() + L"\\Product");
    EXPECT_TRUE(Run(R"({"action":"delregkey","CLASS":"HKCU","KEY":"$REGKEY$"})"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path() + L"\\Product"));
    EXPECT_TRUE(Run(parent));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
}

TEST_F(RegistryActions, DelregkeyexRemovesAWideThreeLevelTree)
{
    host->uninstall = true;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j)
            SetText(HKEY_CURRENT_USER, key.Path() + L"\\a" + std::to_wstring(i) + L"\\b" + std::to_wstring(j) + L"\\c",
                    L"V", L"1");
    }
    EXPECT_TRUE(Run(R"({"action":"delregkeyex","CLASS":"HKCU","KEY":"$REGKEY$"})"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));
}

TEST_F(RegistryActions, DelregkeyexWithAnEmptyKeyLeavesTheRootAlone)
{
    host->uninstall = true;
    SetText(HKEY_CURRENT_USER, key.Path(), L"V", L"1");
    component->strRegKey.clear();
    EXPECT_TRUE(Run(R"({"action":"delregkeyex","CLASS":"HKCU","KEY":"$REGKEY$"})"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key.Path()));
}

TEST_F(RegistryActions, DelregvalueDeletesTheValueOrLogsAMissingKey)
{
    host->uninstall = true;
    SetText(HKEY_CURRENT_USER, key.Path(), L"Gone", L"1");
    SetText(HKEY_CURRENT_USER, key.Path(), L"Stays", L"2");
    EXPECT_TRUE(Run(R"({"action":"delregvalue","CLASS":"HKCU","KEY":"$REGKEY$","SUBKEY":"Gone"})"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"Gone"), L"<missing>");
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, key.Path(), L"Stays"), L"2");

    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"delregvalue","CLASS":"HKCU","KEY":"$REGKEY$\\none","SUBKEY":"x"})"));
    Json::StyledWriter writer;
    EXPECT_EQ(capture.Lines(), std::vector<std::wstring> {WidenAscii(
                                   "stagehand.exe=>delregkey RegOpenKeyExA:2,key=" + writer.write(*last) + "\n")});
}

TEST(BaseOperation, SetRegValueStoresTheTerminatorAndRecursiveDeleteRemovesTheTree)
{
    TestKey key;
    EXPECT_TRUE(BaseOperation::SetRegValue(key.Path() + L"\\x\\y", L"N", L"abc", HKEY_CURRENT_USER));
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text;
    ASSERT_TRUE(ReadRaw(HKEY_CURRENT_USER, key.Path() + L"\\x\\y", L"N", type, text, bytes));
    EXPECT_EQ(text, L"abc");
    EXPECT_EQ(bytes, 8u);
    EXPECT_TRUE(BaseOperation::SetRegValue(key.Path() + L"\\x\\z", L"N", L"d", HKEY_CURRENT_USER));
    EXPECT_TRUE(BaseOperation::SetRegValue(key.Path() + L"\\w", L"", L"e", HKEY_CURRENT_USER));

    EXPECT_TRUE(BaseOperation::RegDeleteKeyRecursive(key.Path(), HKEY_CURRENT_USER));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.Path()));

    DebugCapture capture;
    EXPECT_FALSE(BaseOperation::RegDeleteKeyRecursive(key.Path(), HKEY_CURRENT_USER));
    EXPECT_EQ(capture.Lines(), std::vector<std::wstring> {L"BaseOperation::RegDeleteKeyRecursive() RegOpenKey key:'" +
                                                          key.Path() + L"' error:2"});
    EXPECT_FALSE(BaseOperation::RegDeleteKeyRecursive(L"", HKEY_CURRENT_USER));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST(BaseOperation, SetRegValueReportsAKeyThatCannotBeCreated)
{
    DebugCapture capture;
    EXPECT_FALSE(BaseOperation::SetRegValue(L"Software\\x", L"N", L"v", reinterpret_cast<HKEY>(0x1234)));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], L"BaseOperation::SetRegValue() RegCreateKey key:'Software\\x' valueName:'N' value:'v' error:6");
}
