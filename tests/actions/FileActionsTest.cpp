#include <gtest/gtest.h>

#include <shlobj.h>

#include <system_error>

#include "actions/CreateInstaller.h"
#include "actions/InstallTools.h"
#include "actions/Uninstaller.h"
#include "common/FileSystem.h"
#include "common/Handles.h"
#include "common/SecureFolders.h"
#include "tests/actions/FakeHost.h"
#include "tests/support/ChildProcesses.h"
#include "tests/support/TestSupport.h"

namespace {

bool Exists(const std::wstring& path)
{
    return FileSystem::PathExists(path.c_str());
}

void Write(const std::wstring& path, const std::string& text)
{
    ASSERT_EQ(FileSystem::WriteStringToFile(path, text), text.size()) << Utf8(path);
}

std::string Read(const std::wstring& path)
{
    return FileSystem::ReadFileToString(path, true);
}

class FileActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        FileSystem::CreateDirectoryTree(scratch / L"setup\\Service");
        FileSystem::CreateDirectoryTree(scratch / L"setup\\Service\\sub");
        FileSystem::CreateDirectoryTree(scratch / L"app");
        host->installParam->strSetupDir = Utf8(scratch / L"setup\\");
        component = host->AddComponent("Service", {});
        component->strInstallDir = Utf8(scratch / L"app");
    }
    bool Run(const std::string& action) { return RunAction(host, action); }

    ScratchFolder scratch;
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();
    std::shared_ptr<_SetupList> component;
};

}  // namespace

TEST_F(FileActions, MkdirCreatesParentsAndLogsEveryCallWithItsFlags)
{
    DebugCapture capture;
    const std::string action = R"({"action":"mkdir","dirname":"$PROGRAMDIR$\\Service\\deep"})";
    EXPECT_TRUE(Run(action));
    EXPECT_TRUE(Exists(scratch / L"app\\Service\\deep"));
    EXPECT_TRUE(Run(action));
    const std::wstring ok = WidenAscii(std::error_code().message());
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              L"stagehand.exe=>mkdir createdir:1 " + ok + L" 1 " + ok + L",dir=$PROGRAMDIR$\\Service\\deep\n");
    EXPECT_EQ(lines[1],
              L"stagehand.exe=>mkdir createdir:0 " + ok + L" 1 " + ok + L",dir=$PROGRAMDIR$\\Service\\deep\n");
}

TEST_F(FileActions, MkdirTakesTheServiceFolderFromTheInstallParameter)
{
    host->installParam->strServiceDir = Utf8(scratch / L"svc");
    EXPECT_TRUE(Run(R"({"action":"mkdir","dirname":"$SERVICEDIR$\\x"})"));
    EXPECT_TRUE(Exists(scratch / L"svc\\x"));
}

TEST_F(FileActions, CopyFolderModeCopiesTheFilesButNotTheSubfoldersAndReplacesExistingFiles)
{
    Write(scratch / L"setup\\Service\\a.dll", "new a");
    Write(scratch / L"setup\\Service\\b.txt", "b");
    Write(scratch / L"setup\\Service\\sub\\deep.txt", "deep");
    FileSystem::CreateDirectoryTree(scratch / L"app\\Service");
    Write(scratch / L"app\\Service\\a.dll", "old a");
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"copyfile","src":"$CURRENTPATH$Service\\*.*","dst":"$PROGRAMDIR$\\Service\\"})"));
    EXPECT_EQ(Read(scratch / L"app\\Service\\a.dll"), "new a");
    EXPECT_EQ(Read(scratch / L"app\\Service\\b.txt"), "b");
    EXPECT_FALSE(Exists(scratch / L"app\\Service\\sub"));
    EXPECT_FALSE(Exists(scratch / L"app\\Service\\deep.txt"));
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(FileActions, CopyIntoAMissingFolderLogsOneErrorPerFileAndCopiesNothing)
{
    Write(scratch / L"setup\\Service\\a.dll", "a");
    Write(scratch / L"setup\\Service\\b.txt", "b");
    DebugCapture capture;
    const char* action = R"({"action":"copyfile","src":"$CURRENTPATH$Service\\*.*","dst":"$PROGRAMDIR$\\nofolder\\"})";
    EXPECT_TRUE(Run(action));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.rfind(L"stagehand.exe=>copyfile copy_file :", 0), 0u) << line;
        EXPECT_NE(line.find(L",src_path=$CURRENTPATH$Service\\*.*,dst_path=$PROGRAMDIR$\\nofolder\\\n"),
                  std::wstring::npos)
            << line;
    }
    EXPECT_FALSE(Exists(scratch / L"app\\nofolder"));
}

TEST_F(FileActions, CopyFileModeKeepsTheNameForAFolderDestinationAndLogsItsOwnLine)
{
    Write(scratch / L"setup\\Service\\one.ini", "1");
    EXPECT_TRUE(Run(R"({"action":"copyfile","src":"$CURRENTPATH$Service\\one.ini","dst":"$PROGRAMDIR$\\"})"));
    EXPECT_EQ(Read(scratch / L"app\\one.ini"), "1");
    EXPECT_TRUE(Run(R"({"action":"copyfile","src":"$CURRENTPATH$Service\\one.ini","dst":"$PROGRAMDIR$\\two.ini"})"));
    EXPECT_EQ(Read(scratch / L"app\\two.ini"), "1");

    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"copyfile","src":"$CURRENTPATH$missing.ini","dst":"$PROGRAMDIR$\\"})"));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"stagehand.exe=>copy_file :", 0), 0u);
    EXPECT_NE(lines[0].find(L",src_path=$CURRENTPATH$missing.ini,dst_path=$PROGRAMDIR$\\\n"), std::wstring::npos);
}

TEST_F(FileActions, CopyFromAFileNamedLikeAFolderStaysInsideTheAction)
{
    Write(scratch / L"setup\\plain", "not a folder");
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"copyfile","src":"$CURRENTPATH$plain\\*.*","dst":"$PROGRAMDIR$\\"})"));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"stagehand.exe=>copyfile directory_iterator :", 0), 0u) << lines[0];
}

TEST_F(FileActions, DelfileEmptiesAFolderButLeavesSubfoldersAndDeldirThenWaits)
{
    host->uninstall = true;
    FileSystem::CreateDirectoryTree(scratch / L"app\\Service\\keep");
    Write(scratch / L"app\\Service\\a.dll", "a");
    Write(scratch / L"app\\Service\\b.dll", "b");
    Write(scratch / L"app\\Service\\keep\\c.dll", "c");
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"delfile","path":"$PROGRAMDIR$\\Service\\*.*"})"));
    EXPECT_FALSE(Exists(scratch / L"app\\Service\\a.dll"));
    EXPECT_FALSE(Exists(scratch / L"app\\Service\\b.dll"));
    EXPECT_TRUE(Exists(scratch / L"app\\Service\\keep\\c.dll"));
    EXPECT_TRUE(capture.Lines().empty());

    ChildProcessWatch started;
    EXPECT_TRUE(Run(R"({"action":"deldir","path":"$PROGRAMDIR$\\Service","empty":"need"})"));
    EXPECT_TRUE(started.WaitForNewOnesToEnd()) << "a removal left to another program has ended";
    EXPECT_TRUE(Exists(scratch / L"app\\Service\\keep\\c.dll"));
}

TEST_F(FileActions, DelfileOfAMissingFileLogsAndSucceeds)
{
    host->uninstall = true;
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"delfile","path":"$PROGRAMDIR$\\gone.txt"})"));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"stagehand.exe=>delfile remove:", 0), 0u);
    EXPECT_NE(lines[0].find(L",filepath=" + scratch.Path() + L"app\\gone.txt\n"), std::wstring::npos) << lines[0];
}

TEST_F(FileActions, DelfileOfALockedFileLogsAndTheListGoesOn)
{
    host->uninstall = true;
    Write(scratch / L"app\\locked.dll", "x");
    Write(scratch / L"app\\free.dll", "y");
    UniqueHandle lock(
        ::CreateFileW((scratch / L"app\\locked.dll").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    DebugCapture capture;
    EXPECT_TRUE(Run(R"({"action":"delfile","path":"$PROGRAMDIR$\\*.*"})"));
    lock.reset();
    EXPECT_TRUE(Exists(scratch / L"app\\locked.dll"));
    EXPECT_FALSE(Exists(scratch / L"app\\free.dll"));
    auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(L"stagehand.exe=>delfile remove:", 0), 0u);
}

TEST_F(FileActions, DeldirRemovesAnEmptyFolderAtOnceAndNeverAFile)
{
    host->uninstall = true;
    FileSystem::CreateDirectoryTree(scratch / L"app\\Empty Folder");
    Write(scratch / L"app\\file", "f");
    EXPECT_TRUE(Run(R"({"action":"deldir","path":"$PROGRAMDIR$\\Empty Folder"})"));
    EXPECT_FALSE(Exists(scratch / L"app\\Empty Folder"));
    EXPECT_TRUE(Run(R"({"action":"deldir","path":"$PROGRAMDIR$\\file"})"));
    EXPECT_TRUE(Exists(scratch / L"app\\file"));
}

TEST_F(FileActions, DeluserRemovesUnderTheTemporaryFolderOnlyWhenTheUserAskedForIt)
{
    host->uninstall = true;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring name = L"lkt_deluser_" + std::to_wstring(::GetCurrentProcessId());
    std::wstring folder = std::wstring(temp) + name;
    FileSystem::CreateDirectoryTree(folder + L"\\inner\\deeper");
    Write(folder + L"\\inner\\deeper\\data.db", "d");
    Write(folder + L"\\top.txt", "t");
    const std::string action =
        "{\"action\":\"deluser\",\"location\":\"AppData\",\"path\":\"$APPDATA$\\\\" + Utf8(name) + "\"}";
    EXPECT_TRUE(Run(action));
    EXPECT_TRUE(Exists(folder + L"\\top.txt"));

    host->uninstallParam->bDeleteAll = true;
    EXPECT_TRUE(Run(action));
    EXPECT_FALSE(Exists(folder));
}

TEST_F(FileActions, DeluserKeepsAFolderThatStillHoldsALockedFile)
{
    host->uninstall = true;
    host->uninstallParam->bDeleteAll = true;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring name = L"lkt_deluser_locked_" + std::to_wstring(::GetCurrentProcessId());
    std::wstring folder = std::wstring(temp) + name;
    FileSystem::CreateDirectoryTree(folder + L"\\sub");
    Write(folder + L"\\sub\\locked.db", "l");
    Write(folder + L"\\free.txt", "f");
    UniqueHandle lock(
        ::CreateFileW((folder + L"\\sub\\locked.db").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_TRUE(Run("{\"action\":\"deluser\",\"location\":\"temp\",\"path\":\"$APPDATA$" + Utf8(name) + "\"}"));
    lock.reset();
    EXPECT_TRUE(Exists(folder + L"\\sub\\locked.db"));
    EXPECT_FALSE(Exists(folder + L"\\free.txt"));
    FileSystem::DeleteDirectoryTree(folder);
}

TEST_F(FileActions, DeluserWithTheDocumentsFolderRemovesAFile)
{
    host->uninstall = true;
    host->uninstallParam->bDeleteAll = true;
    std::wstring docs = FileSystem::GetSpecialFolderPath(CSIDL_PERSONAL);
    ASSERT_FALSE(docs.empty());
    std::wstring name = L"lkt_doc_" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    Write(docs + L"\\" + name, "doc");
    EXPECT_TRUE(
        Run("{\"action\":\"deluser\",\"location\":\"MyDocument\",\"path\":\"$MYDOCUMENTS$\\\\" + Utf8(name) + "\"}"));
    EXPECT_FALSE(Exists(docs + L"\\" + name));
}

TEST_F(FileActions, DeluserRemovesALinkWithoutEnteringIt)
{
    host->uninstall = true;
    host->uninstallParam->bDeleteAll = true;
    ScratchFolder user;
    FileSystem::CreateDirectoryTree(scratch / L"victim");
    Write(scratch / L"victim\\precious.txt", "p");
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    // The scratch folder below the temporary folder, as JSON text (backslashes escaped).
    std::string relative;
    for (char c : Utf8(user.Path().substr(wcslen(temp))))
        relative += c == '\\' ? std::string("\\\\") : std::string(1, c);
    FileSystem::CreateDirectoryTree(user / L"data");
    Write(user / L"data\\mine.txt", "m");
    ASSERT_TRUE(PlantHostLink(user / L"data\\cache", scratch / L"victim"));
    // The folder the list names, and the same folder reached as a link.
    ASSERT_TRUE(PlantHostLink(user / L"whole", scratch / L"victim"));
    EXPECT_TRUE(Run("{\"action\":\"deluser\",\"location\":\"temp\",\"path\":\"$APPDATA$" + relative + "data\"}"));
    EXPECT_TRUE(Run("{\"action\":\"deluser\",\"location\":\"temp\",\"path\":\"$APPDATA$" + relative + "whole\"}"));
    EXPECT_EQ(Read(scratch / L"victim\\precious.txt"), "p");
    EXPECT_FALSE(Exists(user / L"data\\mine.txt"));
}

TEST_F(FileActions, DeldirNeverRemovesWhatArrivedAfterTheEmptinessCheck)
{
    host->uninstall = true;
    FileSystem::CreateDirectoryTree(scratch / L"app\\late");
    // A removal left to a command that runs later would also take what is put
    // into the folder after the emptiness check.
    ChildProcessWatch started;
    EXPECT_TRUE(Run(R"({"action":"deldir","path":"$PROGRAMDIR$\\late"})"));
    EXPECT_FALSE(Exists(scratch / L"app\\late"));  // removed at once, not by a later command
    FileSystem::CreateDirectoryTree(scratch / L"app\\late");
    Write(scratch / L"app\\late\\new.dat", "n");
    EXPECT_TRUE(started.WaitForNewOnesToEnd()) << "a removal left to another program has ended";
    EXPECT_TRUE(Exists(scratch / L"app\\late\\new.dat"));
}

namespace {

// Points the user's Documents folder (HKCU User Shell Folders "Personal",
// which any program of the user can change) at another folder while it lives.
class ScopedDocumentsFolder {
public:
    explicit ScopedDocumentsFolder(const std::wstring& folder)
    {
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, m_key.put(), nullptr);
        wchar_t old[1024] = {};
        DWORD size = sizeof(old) - sizeof(wchar_t), type = 0;
        if (::RegQueryValueExW(m_key.get(), L"Personal", nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
            ERROR_SUCCESS) {
            m_had = true;
            m_type = type;
            m_old = old;
        }
        Set(REG_SZ, folder);
    }
    ~ScopedDocumentsFolder()
    {
        if (m_had)
            Set(m_type, m_old);
        else
            ::RegDeleteValueW(m_key.get(), L"Personal");
    }

private:
    void Set(DWORD type, const std::wstring& value)
    {
        ::RegSetValueExW(m_key.get(), L"Personal", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    UniqueHKey m_key;
    bool m_had = false;
    DWORD m_type = REG_SZ;
    std::wstring m_old;
};

const char kDeleteUserDocuments[] = R"({"action":"deluser","location":"MyDocument","path":"$MYDOCUMENTS$\\Larkspur"})";

}  // namespace

// Finding 2 of the security review: Documents pointed by the user's own
// registry at C:\windows\<victim>; a silent uninstall (deleteall true) must
// not remove <victim>\Larkspur.
TEST_F(FileActions, DeluserRefusesADocumentsFolderOutsideTheProfile)
{
    host->uninstall = true;
    host->uninstallParam->bDeleteAll = true;
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring victim = std::wstring(windows) + L"\\lkt_victim_" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(victim + L"\\Larkspur\\deep"));
    Write(victim + L"\\Larkspur\\deep\\precious.txt", "p");
    DebugCapture capture;
    {
        ScopedDocumentsFolder documents(victim);
        ASSERT_EQ(SecureFolders::NormalFolderPath(FileSystem::GetSpecialFolderPath(CSIDL_PERSONAL)),
                  SecureFolders::NormalFolderPath(victim));
        EXPECT_TRUE(Run(kDeleteUserDocuments));
    }
    EXPECT_EQ(Read(victim + L"\\Larkspur\\deep\\precious.txt"), "p");
    bool refused = false;
    for (const auto& line : capture.Lines())
        refused |= line.rfind(L"stagehand.exe=>deluser refused: not inside the user's profile", 0) == 0;
    EXPECT_TRUE(refused);
    FileSystem::DeleteDirectoryTree(victim);
}

// The same through a link: Documents is a folder of the profile that the
// user made a link (junction) to any folder.
TEST_F(FileActions, DeluserRefusesADocumentsFolderReachedThroughALink)
{
    host->uninstall = true;
    host->uninstallParam->bDeleteAll = true;
    const std::wstring profile = FileSystem::GetSpecialFolderPath(CSIDL_PROFILE);
    ASSERT_FALSE(profile.empty());
    const std::wstring link = profile + L"\\lkt_docs_link_" + std::to_wstring(::GetCurrentProcessId());
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(scratch / L"victim\\Larkspur"));
    Write(scratch / L"victim\\Larkspur\\precious.txt", "p");
    ASSERT_TRUE(PlantHostLink(link, scratch / L"victim"));
    DebugCapture capture;
    {
        ScopedDocumentsFolder documents(link);
        EXPECT_TRUE(Run(kDeleteUserDocuments));
    }
    EXPECT_EQ(Read(scratch / L"victim\\Larkspur\\precious.txt"), "p");
    bool refused = false;
    for (const auto& line : capture.Lines())
        refused |= line.rfind(L"stagehand.exe=>deluser refused: a reparse point (link) at " + link, 0) == 0;
    EXPECT_TRUE(refused);
    RemoveFromHost(link);
}

TEST(UserDataTarget, OnlyInsideTheProfileAndNormalised)
{
    std::wstring why;
    const std::wstring profile = L"C:\\Users\\ann\\";
    // Case as the file system has it (the existing part's long names).
    EXPECT_EQ(::lstrcmpiW(UserDataTarget(L"C:\\Users\\ann\\Documents\\Larkspur", profile, why).c_str(),
                          L"C:\\Users\\ann\\Documents\\Larkspur"),
              0);
    EXPECT_EQ(UserDataTarget(L"C:\\Users\\ann\\Documents\\..\\..\\bob\\Larkspur", profile, why), L"");
    EXPECT_EQ(UserDataTarget(L"C:\\Users\\ann", profile, why), L"");
    EXPECT_EQ(UserDataTarget(L"C:\\Users\\annex\\x", profile, why), L"");
    EXPECT_EQ(UserDataTarget(L"C:\\windows\\victim2\\Larkspur", profile, why), L"");
    EXPECT_EQ(why, L"not inside the user's profile C:\\Users\\ann\\");
}

// Issue 29, item 6: as LocalSystem there is no user whose data this is.
TEST_F(FileActions, DeluserAsLocalSystemRemovesNothingAndSaysSo)
{
    host->uninstall = true;
    host->uninstallParam->bDeleteAll = true;
    const std::wstring docs = FileSystem::GetSpecialFolderPath(CSIDL_PERSONAL);
    ASSERT_TRUE(FileSystem::CreateDirectoryTree(docs + L"\\Larkspur"));
    Write(docs + L"\\Larkspur\\kept.txt", "k");
    DebugCapture capture;
    {
        SecureFolders::Rules rules;
        rules.isLocalSystem = [] { return true; };
        SecureFolders::ScopedRules system(rules);
        EXPECT_TRUE(Run(kDeleteUserDocuments));
    }
    EXPECT_EQ(Read(docs + L"\\Larkspur\\kept.txt"), "k");
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>deluser skipped: the run is LocalSystem, no user's data is "
                                 L"removed,path=$MYDOCUMENTS$\\Larkspur\n"));
    FileSystem::DeleteDirectoryTree(docs + L"\\Larkspur");
}

namespace {

class Tools : public InstallTools { };

}  // namespace

// Issue 29, item 6: as LocalSystem the per-user folders of links become the
// all-users ones, and those Windows has no all-users form of are skipped.
TEST(LocalSystemFolders, PerUserFoldersBecomeAllUsersOnesOrAreSkipped)
{
    Tools tools;
    const SpecialFolder commonPrograms = tools.GetSpecialFolder(CSIDL_COMMON_PROGRAMS);
    const SpecialFolder commonDesktop = tools.GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
    ASSERT_EQ(commonPrograms.status, SpecialFolder::Found);
    EXPECT_NE(tools.GetSpecialFolder(CSIDL_PROGRAMS).path, commonPrograms.path);
    SecureFolders::Rules rules;
    rules.isLocalSystem = [] { return true; };
    SecureFolders::ScopedRules system(rules);
    DebugCapture capture;
    EXPECT_EQ(tools.GetSpecialFolder(CSIDL_PROGRAMS).path, commonPrograms.path);
    EXPECT_EQ(tools.GetSpecialFolder(CSIDL_DESKTOPDIRECTORY).path, commonDesktop.path);
    EXPECT_EQ(tools.GetSpecialFolder(CSIDL_APPDATA).status, SpecialFolder::LocationFailed);
    EXPECT_TRUE(capture.Contains(L"stagehand.exe=>per-user folder " + std::to_wstring(CSIDL_APPDATA) +
                                 L" skipped: the run is LocalSystem"));
}
