// Runs with the engine's manifest, in prefixes of each Windows version; the
// expected variant comes from LARKSPUR_EXPECT_VARIANT ("win7" by default).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <iostream>

#include "actions/CreateInstaller.h"
#include "tests/actions/FakeHost.h"

namespace {

std::string ExpectedVariant()
{
    const char* value = std::getenv("LARKSPUR_EXPECT_VARIANT");
    return value && *value ? value : "win7";
}

}  // namespace

TEST(Factory, ChoosesTheVariantsOfThisWindowsVersion)
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)));
    std::cout << "reported Windows " << version.dwMajorVersion << "." << version.dwMinorVersion << "\n";

    const std::string expected = ExpectedVariant();
    EXPECT_EQ(WindowsVersionText(), expected);
    auto host = std::make_shared<FakeHost>();
    auto install = CreateInstaller("install", host);
    auto other = CreateInstaller("repair", host);
    auto uninstall = CreateInstaller("uninstall", host);
    ASSERT_TRUE(install && other && uninstall);
    if (expected == "win7") {
        EXPECT_TRUE(std::dynamic_pointer_cast<InstallerForWin7>(install));
        EXPECT_TRUE(std::dynamic_pointer_cast<InstallerForWin7>(other));
        EXPECT_TRUE(std::dynamic_pointer_cast<UninstallerForWin7>(uninstall));
    } else {
        EXPECT_TRUE(std::dynamic_pointer_cast<InstallerForXP>(install));
        EXPECT_TRUE(std::dynamic_pointer_cast<InstallerForXP>(other));
        EXPECT_TRUE(std::dynamic_pointer_cast<UninstallerForXP>(uninstall));
    }
}
