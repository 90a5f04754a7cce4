#include <gtest/gtest.h>

#include "actions/BaseOperation.h"
#include "actions/ChannelDefaults.h"
#include "actions/CreateInstaller.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "tests/actions/FakeHost.h"
#include "tests/support/ScopedRegistryKey.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring ReadText(HKEY root, const std::wstring& path, const std::wstring& name)
{
    UniqueHKey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

const std::wstring kOtherChannel = L"T3RoZXJDaGFubmVsVmFsdWVGb3JUZXN0c09ubHk5ODc=";

class ChannelActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        component = host->AddComponent("Larkspur", {});
        component->strRegKey = Utf8(keyPath + L"\\Larkspur");
        component->strInstallDir = Utf8(scratch / L"app");
    }
    bool Run(const std::string& action) { return RunAction(host, action); }
    std::string ChannelAction(const std::string& subkey) const
    {
        return R"({"action":"channel","CLASS":"HKLM","KEY":"$REGKEY$","SUBKEY":")" + subkey + R"(","value":")" +
               Utf8(kDefaultChannelId) + "\"}";
    }
    // A product key under the test parent with the given install time.
    void AddProduct(const std::wstring& name, const std::wstring& installTime, const std::wstring& channel,
                    bool programPresent = true)
    {
        std::wstring path = keyPath + L"\\" + name;
        std::wstring folder = scratch / name;
        if (programPresent)
            FileSystem::CreateDirectoryTree(folder);
        ASSERT_TRUE(BaseOperation::SetRegValue(path, L"AppInstallPath", folder, HKEY_LOCAL_MACHINE));
        ASSERT_TRUE(BaseOperation::SetRegValue(path, L"InstallTime", installTime, HKEY_LOCAL_MACHINE));
        ASSERT_TRUE(BaseOperation::SetRegValue(path, L"ChannelID", channel, HKEY_LOCAL_MACHINE));
    }

    ScratchFolder scratch;
    ScopedRegistryKey parent;
    const std::wstring keyPath = parent.Path();
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::shared_ptr<_SetupList> component;
};

}  // namespace

TEST_F(ChannelActions, DefaultValueWithoutACommandLineChannelKeepsTheRecordedOne)
{
    ASSERT_TRUE(BaseOperation::SetRegValue(keyPath + L"\\Larkspur", L"ChannelID", L"earlier", HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(Run(ChannelAction("")));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath + L"\\Larkspur", L"ChannelID"), L"earlier");
}

TEST_F(ChannelActions, CommandLineChannelIsWrittenUnderChannelIdForAnEmptySubkey)
{
    host->channelId = kOtherChannel;
    EXPECT_TRUE(Run(ChannelAction("")));
    EXPECT_TRUE(Run(ChannelAction("Other")));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath + L"\\Larkspur", L"ChannelID"), kOtherChannel);
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath + L"\\Larkspur", L"Other"), kOtherChannel);
}

TEST_F(ChannelActions, ListValueOtherThanTheDefaultIsWrittenWithItsFolderExpanded)
{
    EXPECT_TRUE(
        Run(R"({"action":"channel","CLASS":"HKLM","KEY":"$REGKEY$","SUBKEY":"","value":"$PROGRAMDIR$|$PROGRAMDIR$"})"));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath + L"\\Larkspur", L"ChannelID"),
              (scratch / L"app") + L"|" + (scratch / L"app"));
}

TEST_F(ChannelActions, UnknownRootIsLoggedAndTheActionSucceeds)
{
    host->channelId = kOtherChannel;
    DebugCapture capture;
    auto action = ParseAction(R"({"action":"channel","CLASS":"HKXX","KEY":"$REGKEY$","SUBKEY":"","value":"v"})");
    std::string result;
    EXPECT_TRUE(CreateInstaller("install", host)->DoAction("channel", result, action));
    Json::StyledWriter writer;
    EXPECT_EQ(capture.Lines(),
              std::vector<std::wstring> {
                  WidenAscii("stagehand.exe=>writechannel RegCreateKeyEx :6,key=" + writer.write(*action) + "\n")});
}

TEST_F(ChannelActions, RewriteTakesTheChannelOfTheLatestInstallTimeComparedAsText)
{
    host->uninstall = true;
    ASSERT_TRUE(BaseOperation::SetRegValue(keyPath, L"ChannelID", L"removed product's", HKEY_LOCAL_MACHINE));
    AddProduct(L"Larkspur", L"99999", L"current");
    AddProduct(L"Nine", L"9", L"nine's");
    AddProduct(L"TenThousand", L"10000", L"ten thousand's");
    AddProduct(L"Gone", L"99", L"gone's", false);
    const std::string action = "{\"action\":\"rewritechannelid\",\"CLASS\":\"HKLM\",\"KEY\":\"" + JsonPath(keyPath) +
                               "\",\"SUBKEY\":\"ChannelID\",\"CURKEYNAME\":\"Larkspur\"}";
    EXPECT_TRUE(Run(action));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath, L"ChannelID"), L"nine's");
}

TEST_F(ChannelActions, RewriteLeavesTheParentAloneWithoutACandidateOrItsChannel)
{
    host->uninstall = true;
    ASSERT_TRUE(BaseOperation::SetRegValue(keyPath, L"ChannelID", L"kept", HKEY_LOCAL_MACHINE));
    AddProduct(L"Larkspur", L"5", L"current");
    const std::string action = "{\"action\":\"rewritechannelid\",\"CLASS\":\"HKLM\",\"KEY\":\"" + JsonPath(keyPath) +
                               "\",\"SUBKEY\":\"\",\"CURKEYNAME\":\"Larkspur\"}";
    EXPECT_TRUE(Run(action));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath, L"ChannelID"), L"kept");
    AddProduct(L"Other", L"7", L"");
    EXPECT_TRUE(Run(action));
    EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, keyPath, L"ChannelID"), L"kept");
    EXPECT_TRUE(
        Run(R"({"action":"rewritechannelid","CLASS":"HKLM","KEY":"SOFTWARE\\NoSuchParentKey","CURKEYNAME":"x"})"));
}

TEST_F(ChannelActions, AesencodeWritesTheEncodedListWithoutItsByteOrderMark)
{
    FileSystem::CreateDirectoryTree(scratch / L"setup");
    FileSystem::CreateDirectoryTree(scratch / L"app");
    host->installParam->strSetupDir = Utf8(scratch / L"setup\\");
    const std::string list = R"({"installs":[{"name":"Larkspur"}]})";
    FileSystem::WriteStringToFile(scratch / L"setup\\uninst.ini", "\xEF\xBB\xBF" + list);
    FileSystem::WriteStringToFile(scratch / L"app\\uninst.ini", std::string(500, 'x'));
    EXPECT_TRUE(Run(R"({"action":"aesencode","src":"$CURRENTPATH$uninst.ini","dst":"$PROGRAMDIR$\\uninst.ini"})"));
    // The list without its mark as the host's openssl encodes it, with the key
    // text's bytes (hex 37443039453341353842313443363246) as key and IV:
    //   printf '%s' "$list" | openssl enc -aes-128-ofb -nopad -K "$hex" -iv "$hex" | xxd -i
    const unsigned char known[] = {0x1c, 0x0a, 0xc5, 0x23, 0x9d, 0xdd, 0xfc, 0x45, 0xfa, 0x05, 0xea, 0x6d,
                                   0x01, 0x1d, 0x38, 0x88, 0xca, 0xa7, 0xc2, 0xe4, 0x31, 0xe0, 0xc0, 0xf4,
                                   0xb5, 0xbc, 0xd8, 0xa9, 0x51, 0xd9, 0xee, 0xd2, 0x0b, 0x1f};
    ASSERT_EQ(sizeof(known), list.size());
    EXPECT_EQ(FileSystem::ReadFileToString(scratch / L"app\\uninst.ini", true),
              std::string(reinterpret_cast<const char*>(known), sizeof(known)));

    EXPECT_TRUE(Run(R"({"action":"aesencode","src":"$CURRENTPATH$missing.ini","dst":"$PROGRAMDIR$\\empty.ini"})"));
    EXPECT_TRUE(FileSystem::PathExists((scratch / L"app\\empty.ini").c_str()));
    EXPECT_EQ(FileSystem::ReadFileToString(scratch / L"app\\empty.ini", true), "");
}
