#include <gtest/gtest.h>

#include "engine/SetupListFile.h"
#include "engine/listcheck/ListPlan.h"

namespace {

Json::Value Parse(const std::string& text)
{
    Json::Value root;
    EXPECT_TRUE(ParseListText(text, root)) << text;
    return root;
}

std::string Plan(const Json::Value& root, ExecutorKind kind, const std::string& winver)
{
    PlanOptions options;
    options.kind = kind;
    options.installDir = L"D:\\Apps";
    options.winver = winver;
    options.setupDir = L"C:\\work\\Setup";
    std::string out, problem;
    EXPECT_TRUE(WritePlan(root, options, out, problem)) << problem;
    return out;
}

// The application first in the file but second in order; the service gets
// the default folder, the application the dir switch's folder.
const char kInstallList[] = R"({
  "mode": "silent",
  "installs": [
    {"name": "App", "order": 2, "version": "2.0.0.1", "regkey": "SOFTWARE\\Co\\App", "actions": [
      {"action": "mkdir", "dirname": "$PROGRAMDIR$\\a\\$PROGRAMDIR$"},
      {"action": "writereg", "CLASS": "HKLM", "KEY": "$REGKEY$", "SUBKEY": "P", "value": "$PROGRAMDIR$|$PROGRAMDIR$|$MODE$"},
      {"action": "desktop", "name": "App", "path": "$PROGRAMDIR$\\app.exe", "disable_mode": ["silent"]},
      {"action": "copyfile", "src": "$CURRENTPATH$app.exe", "dst": "$SERVICEDIR$\\"},
      {"action": "menu", "path": "$STARTMENU$\\App\\App.lnk", "dst": "$PROGRAMDIR$\\app.exe", "bogus": 1}
    ], "runlist": [{"path": "$PROGRAMDIR$\\app.exe", "runnow": 0, "integrity_level": "medium"}]},
    {"name": "Service", "order": 1, "version": "1.0.0.1", "regkey": "SOFTWARE\\Co\\Service", "actions": [
      {"action": "instservice", "path": "$SERVICEDIR$\\svc.exe", "bWait": true}
    ], "runlist": [{"path": "$PROGRAMDIR$\\svc.exe", "runnow": 1, "para": "-run"}]}
  ]
})";

}  // namespace

TEST(ListPlanTest, ActionsComeInRunOrderExpandedAsTheOperationsExpandThem)
{
    const std::string plan = Plan(Parse(kInstallList), ExecutorKind::Install, "7");
    const std::string expected =
        "Plan of the install list for Windows 7: executor InstallerForWin7; nothing is touched.\n"
        "Mode \"silent\", engine folder ($CURRENTPATH$) C:\\work\\Setup\\\n"
        "Component \"Service\" (order 1) in C:\\Program Files\\Orbisoft\n"
        "  1. [30%] instservice -> InstService path=\"C:\\Program Files\\Orbisoft\\svc.exe\" bWait=true\n"
        "Component \"App\" (order 2) in D:\\Apps\\Orbisoft\n"
        // Only the first $PROGRAMDIR$ of a folder name, every one in a registry value.
        "  2. [65%] mkdir -> MakeDir dirname=\"D:\\Apps\\Orbisoft\\a\\$PROGRAMDIR$\"\n"
        "  3. [72%] writereg -> WriteReg CLASS=\"HKLM\" KEY=\"SOFTWARE\\Co\\App\" SUBKEY=\"P\" "
        "value=\"D:\\Apps\\Orbisoft|D:\\Apps\\Orbisoft|silent\"\n"
        "  4. desktop: skipped in mode \"silent\"\n"
        // "copyfile" puts $SERVICEDIR$ of "dst" at the component's own folder.
        "  5. [86%] copyfile -> CopyFiles src=\"C:\\work\\Setup\\app.exe\" dst=\"D:\\Apps\\Orbisoft\\\"\n"
        "  6. [93%] menu -> CreateMenuSC "
        "path=\"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\App\\App.lnk\" "
        "dst=\"D:\\Apps\\Orbisoft\\app.exe\"\n"
        "Progress closes at 99%.\n"
        // In component order, each with its own folder.
        "Then, when the files are there and the user agrees to start:\n"
        "  start \"C:\\Program Files\\Orbisoft\\svc.exe\" para=\"-run\" integrity high\n"
        "  start \"D:\\Apps\\Orbisoft\\app.exe\" integrity medium, not with -verysilent or -nostart\n";
    EXPECT_EQ(plan, expected);
}

TEST(ListPlanTest, WindowsVersionChoosesTheExecutorVariant)
{
    const Json::Value root = Parse(kInstallList);
    EXPECT_NE(Plan(root, ExecutorKind::Install, "xp").find("executor InstallerForXP;"), std::string::npos);
    EXPECT_NE(Plan(root, ExecutorKind::Install, "xp").find("Documents and Settings\\All Users\\Start Menu"),
              std::string::npos);
    // Windows 10 reports 6.2 to the engine and gets the Windows 7 variant.
    EXPECT_NE(Plan(root, ExecutorKind::Install, "10").find("executor InstallerForWin7;"), std::string::npos);

    const Json::Value uninst = Parse(R"({"installs": [{"name": "App", "actions": [
        {"action": "deluser", "location": "MyDocument", "path": "$MYDOCUMENTS$\\App"},
        {"action": "deluser", "location": "AppData", "path": "$APPDATA$App"}]}]})");
    const std::string plan = Plan(uninst, ExecutorKind::Uninstall, "xp");
    EXPECT_NE(plan.find("executor UninstallerForXP;"), std::string::npos) << plan;
    EXPECT_NE(plan.find("path=\"C:\\Documents and Settings\\%USERNAME%\\My Documents\\App\""), std::string::npos)
        << plan;
    EXPECT_NE(plan.find("path=\"C:\\Documents and Settings\\%USERNAME%\\Local Settings\\Temp\\App\""),
              std::string::npos)
        << plan;

    PlanOptions options;
    options.winver = "8";
    std::string out, problem;
    EXPECT_FALSE(WritePlan(root, options, out, problem));
}

TEST(ListPlanTest, UnknownVerbEndsThePlanWhereTheRunWouldStop)
{
    const Json::Value root = Parse(R"({"installs": [{"name": "App", "actions": [
        {"action": "mkdir", "dirname": "$PROGRAMDIR$\\x"},
        {"action": "deldir", "path": "$PROGRAMDIR$\\x"},
        {"action": "mkdir", "dirname": "$PROGRAMDIR$\\y"}]}]})");
    const std::string plan = Plan(root, ExecutorKind::Install, "7");
    EXPECT_NE(plan.find("2. \"deldir\": unknown to InstallerForWin7; the run stops here"), std::string::npos) << plan;
    EXPECT_EQ(plan.find("\\y"), std::string::npos) << plan;
    EXPECT_EQ(plan.find("Progress closes"), std::string::npos) << plan;
}

TEST(ListPlanTest, InstallMenuPathExpandsOnlyItsFolderPartUninstallMenuPathAsAWhole)
{
    const char* list = R"({"installs": [{"name": "App", "actions": [
        {"action": "menu", "path": "$STARTMENU$\\$STARTMENU$.lnk", "dst": "$PROGRAMDIR$\\a.exe"},
        {"action": "menu", "path": "$STARTMENU$.lnk", "dst": "$PROGRAMDIR$\\a.exe"}]}]})";
    const std::string install = Plan(Parse(list), ExecutorKind::Install, "7");
    EXPECT_NE(install.find("path=\"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\$STARTMENU$.lnk\""),
              std::string::npos)
        << install;
    EXPECT_NE(install.find("path=\"$STARTMENU$.lnk\""), std::string::npos) << install;

    const char* uninstallList = R"({"installs": [{"name": "App", "actions": [
        {"action": "menu", "path": "$STARTMENU$.lnk"}]}]})";
    const std::string uninstall = Plan(Parse(uninstallList), ExecutorKind::Uninstall, "7");
    EXPECT_NE(uninstall.find("path=\"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs.lnk\""),
              std::string::npos)
        << uninstall;
}
