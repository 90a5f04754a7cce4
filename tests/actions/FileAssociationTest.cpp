#include <gtest/gtest.h>

#include <optional>

#include "actions/BaseOperation.h"
#include "actions/CreateInstaller.h"
#include "actions/FileAssociation.h"
#include "common/Handles.h"
#include "tests/actions/FakeHost.h"
#include "tests/actions/ShellTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace BaseOperation;

namespace {

std::optional<std::wstring> Value(HKEY root, const std::wstring& key, const wchar_t* name = nullptr)
{
    UniqueHKey opened;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (::RegQueryValueExW(opened.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool KeyExists(HKEY root, const std::wstring& key)
{
    UniqueHKey opened;
    return ::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

void Put(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    UniqueHKey opened;
    ASSERT_EQ(::RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, opened.put(), nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(opened.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void Erase(HKEY root, const std::wstring& key)
{
    ::RegDeleteTreeW(root, key.c_str());
    ::RegDeleteKeyW(root, key.c_str());
}

class FileAssociation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ext = L"." + UniqueName(L"lkt");
        appKey = L"Larkspur.Test" + UniqueName(L"");
        product = scratch.Path() + L"Product";
        ::CreateDirectoryW(product.c_str(), nullptr);
        app = product + L"\\Larkspur.exe";
        icon = product + L"\\package.ico";
        Touch(icon);
        host->AddComponent("Larkspur", {})->strInstallDir = Utf8(product);
        // Standard keys of a Windows profile; Wine's prefix may lack them.
        for (const wchar_t* base : {kExplorerFileExts, kRoamingFileExts}) {
            if (!KeyExists(HKEY_CURRENT_USER, base)) {
                Put(HKEY_CURRENT_USER, base, L"LarkspurTestMarker", L"");
                madeBases.push_back(base);
            }
        }
    }
    void TearDown() override
    {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
            Erase(root, L"Software\\Classes\\" + ext);
            Erase(root, L"Software\\Classes\\" + appKey);
        }
        Erase(HKEY_CURRENT_USER, std::wstring(kExplorerFileExts) + L"\\" + ext);
        Erase(HKEY_CURRENT_USER, std::wstring(kRoamingFileExts) + L"\\" + ext);
        for (const auto& base : madeBases)
            Erase(HKEY_CURRENT_USER, base);
    }
    std::string SetAction(const std::string& extra = "") const
    {
        return "{\"action\":\"setfileassociation\",\"ext\":\"" + Utf8(ext) + "\",\"app_key\":\"" + Utf8(appKey) +
               "\",\"app_path\":\"$PROGRAMDIR$\\\\Larkspur.exe\",\"description\":\"Larkspur package\"" +
               (extra.empty() ? ",\"icon_path\":\"$PROGRAMDIR$\\\\package.ico\",\"command_name\":\"Open it\"" : extra) +
               "}";
    }
    bool Install(const std::string& action)
    {
        std::string result;
        return CreateInstaller("install", host)->DoAction("setfileassociation", result, ParseAction(action));
    }
    std::wstring Explorer() const { return std::wstring(kExplorerFileExts) + L"\\" + ext; }
    std::wstring Roaming() const { return std::wstring(kRoamingFileExts) + L"\\" + ext; }
    std::wstring Class() const { return L"Software\\Classes\\" + appKey; }

    ComScope com;
    ScratchFolder scratch;
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::wstring ext, appKey, product, app, icon;
    std::vector<std::wstring> madeBases;
};

}  // namespace

TEST_F(FileAssociation, WritesTheLayoutUnderBothRootsAndASecondInstallWritesNothing)
{
    EXPECT_TRUE(Install(SetAction()));
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_EQ(Value(root, Class()), L"Larkspur package");
        EXPECT_EQ(Value(root, Class() + L"\\DefaultIcon"), L"\"" + icon + L"\"");
        EXPECT_EQ(Value(root, Class() + L"\\Shell"), L"Open");
        EXPECT_EQ(Value(root, Class() + L"\\Shell\\Open"), L"Open it");
        EXPECT_EQ(Value(root, Class() + L"\\Shell\\Open\\Command"), L"\"" + app + L"\" -appbind=\"%1\"");
        EXPECT_EQ(Value(root, L"Software\\Classes\\" + ext), appKey);
    }
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Explorer() + L"\\UserChoice", L"Progid"), appKey);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Roaming() + L"\\UserChoice", L"Progid"), appKey);
    // A missing "Progid" of the record is not created.
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Explorer(), L"Progid"), std::nullopt);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\" + Explorer()));

    Put(HKEY_CURRENT_USER, Class() + L"\\DefaultIcon", nullptr, L"marker");
    DebugCapture capture;
    EXPECT_TRUE(Install(SetAction()));
    EXPECT_EQ(capture.Lines(), (std::vector<std::wstring> {
                                   L"stagehand.exe=>Installer::SetFileAssociation strExt has done,strExt=" + ext}));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Class() + L"\\DefaultIcon"), L"marker");
}

TEST_F(FileAssociation, AnotherUsersChoiceFailsTheCheckAndIsReplaced)
{
    ASSERT_TRUE(Install(SetAction()));
    Put(HKEY_CURRENT_USER, Explorer() + L"\\UserChoice", L"Progid", L"Other.App");
    Put(HKEY_CURRENT_USER, Explorer(), L"Progid", L"Other.App");
    EXPECT_FALSE(CheckFileAssociation(ext, appKey, app));
    EXPECT_TRUE(Install(SetAction()));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Explorer() + L"\\UserChoice", L"Progid"), appKey);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Explorer(), L"Progid"), appKey);
    EXPECT_TRUE(CheckFileAssociation(ext, appKey, app));
}

TEST_F(FileAssociation, TheShellRecordMustExistButTheRoamingOneOnlyHasToAgreeWhenPresent)
{
    ASSERT_TRUE(Install(SetAction()));
    Erase(HKEY_CURRENT_USER, Roaming());
    DebugCapture capture;
    EXPECT_TRUE(CheckFileAssociation(ext, appKey, app));
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring> {L"CheckExtUserChoice HKEY_CURRENT_USER not exist key:" + Roaming()}));

    Put(HKEY_CURRENT_USER, Roaming() + L"\\UserChoice", L"Progid", L"Other.App");
    EXPECT_FALSE(CheckFileAssociation(ext, appKey, app));
    Erase(HKEY_CURRENT_USER, Roaming());

    Erase(HKEY_CURRENT_USER, Explorer());
    EXPECT_FALSE(CheckFileAssociation(ext, appKey, app));
    EXPECT_TRUE(Install(SetAction()));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Explorer() + L"\\UserChoice", L"Progid"), appKey);

    Erase(HKEY_CURRENT_USER, Explorer() + L"\\UserChoice");
    DebugCapture missingChoice;
    EXPECT_FALSE(CheckFileAssociation(ext, appKey, app));
    EXPECT_TRUE(missingChoice.Contains(L"CheckExtUserChoice HKEY_CURRENT_USER not exist key : " + Explorer() +
                                       L"\\UserChoice"));
}

TEST_F(FileAssociation, TheCommandMustNameTheProgramExactlyUpToASpaceOrQuote)
{
    ASSERT_TRUE(Install(SetAction()));
    auto command = [&](const std::wstring& text) {
        for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            Put(root, Class() + L"\\Shell\\Open\\Command", nullptr, text);
        return CheckFileAssociation(ext, appKey, app);
    };
    EXPECT_TRUE(command(L"\"" + app + L"\""));
    EXPECT_TRUE(command(L"  \"" + app + L"\" -x"));
    EXPECT_TRUE(command(L"\"" + product + L"\\LARKSPUR.EXE\" %1"));
    EXPECT_FALSE(command(app));
    EXPECT_TRUE(command(app + L" %1"));
    EXPECT_FALSE(command(L"\"" + app + L"2\" -appbind=\"%1\""));
    EXPECT_FALSE(command(L"\"" + product + L"\\Other.exe\" %1"));
    // Only A to Z fold: an accented capital is another character.
    command(L"\"" + app + L"\u00E9e\" %1");
    EXPECT_TRUE(CheckFileAssociation(ext, appKey, app + L"\u00E9E"));
    EXPECT_FALSE(CheckFileAssociation(ext, appKey, app + L"\u00C9e"));
}

TEST_F(FileAssociation, EmptyIconAndCommandNameAreLoggedAndOmittedButTheCommandIsWritten)
{
    DebugCapture capture;
    EXPECT_TRUE(Install(SetAction(",\"icon_path\":\"\",\"command_name\":\"\",\"command_arg\":\"-q\"")));
    EXPECT_TRUE(
        capture.Contains(L"stagehand.exe=>Installer::SetFileAssociation strIconPath dose not exist,strIconPath="));
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, Class() + L"\\DefaultIcon"), L"\"\"");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Class() + L"\\Shell\\Open"), std::nullopt);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, Class() + L"\\Shell\\Open\\Command"), L"\"" + app + L"\" -appbind=\"%1\" -q");
}

TEST_F(FileAssociation, AFailureUnderTheUsersRootLeavesTheMachinesUntouched)
{
    // A key name beyond the registry's limit cannot be created.
    appKey = std::wstring(300, L'k');
    DebugCapture capture;
    EXPECT_TRUE(Install(SetAction()));
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>Installer::SetFileAssociation failed"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + ext));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\" + ext));

    EXPECT_FALSE(WriteFileAssociation({ext}, app, L"", icon, L"d", L"", L""));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\DefaultIcon"));
}

TEST_F(FileAssociation, RemovalDeletesEverythingInOrderAndLogsEachMissingKey)
{
    ASSERT_TRUE(Install(SetAction()));
    std::string result;
    host->uninstall = true;
    auto uninstaller = CreateInstaller("uninstall", host);
    const std::string action =
        "{\"action\":\"removefileassociation\",\"ext\":\"" + Utf8(ext) + "\",\"app_key\":\"" + Utf8(appKey) + "\"}";
    {
        DebugCapture capture;
        EXPECT_TRUE(uninstaller->DoAction("removefileassociation", result, ParseAction(action)));
        EXPECT_TRUE(capture.Lines().empty());
    }
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        EXPECT_FALSE(KeyExists(root, L"Software\\Classes\\" + ext));
        EXPECT_FALSE(KeyExists(root, Class()));
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Explorer()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Roaming()));

    DebugCapture capture;
    EXPECT_TRUE(uninstaller->DoAction("removefileassociation", result, ParseAction(action)));
    const std::wstring open = L"BaseOperation::RegDeleteKeyRecursive() RegOpenKey key:'";
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring> {
                  open + L"Software\\Classes\\" + ext + L"' error:2", open + Class() + L"' error:2",
                  open + L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + ext + L"' error:2",
                  open + Roaming() + L"' error:2", open + L"Software\\Classes\\" + ext + L"' error:2",
                  open + Class() + L"' error:2"}));
}

TEST_F(FileAssociation, RemovalWithoutAnExtensionNeverEmptiesTheClasses)
{
    const std::wstring canary = L"Software\\Classes\\" + UniqueName(L"LarkspurCanary");
    Put(HKEY_CURRENT_USER, canary, nullptr, L"alive");
    EXPECT_TRUE(DeleteFileAssociation(L"", L""));
    EXPECT_EQ(Value(HKEY_CURRENT_USER, canary), L"alive");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kExplorerFileExts));
    Erase(HKEY_CURRENT_USER, canary);
}

TEST_F(FileAssociation, ResetWithoutTheBaseCreatesNothing)
{
    const std::wstring base = L"Software\\" + UniqueName(L"LarkspurNoBase");
    DebugCapture capture;
    EXPECT_FALSE(ResetExtUserChoice(ext, appKey, base));
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::wstring> {
                  L"BaseOperation::ResetExtUserChoice() FileExtsPath not found. FileExtsPath:'" + base + L"'"}));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base));
}
