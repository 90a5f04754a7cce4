#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include "common/FileSystem.h"
#include "common/PrivateFiles.h"
#include "tests/support/TestSupport.h"

using namespace PrivateFiles;

namespace {

constexpr DWORD kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                               FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsSid(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return ::IsWellKnownSid(sid, type) != FALSE;
}

}  // namespace

TEST(PrivateFiles, AccessListLetsOnlySystemAndAdministratorsWrite)
{
    UniqueLocal owner = NewPrivateDescriptor();
    ASSERT_TRUE(owner);
    PSECURITY_DESCRIPTOR descriptor = owner.get();
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);  // nothing inherited from the temporary folder
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    ASSERT_TRUE(present && acl);  // a null list would let everybody in
    int administrators = 0;
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* raw = nullptr;
        ASSERT_TRUE(::GetAce(acl, i, &raw));
        auto* header = static_cast<ACE_HEADER*>(raw);
        ASSERT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE);
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(raw);
        PSID sid = &ace->SidStart;
        if (IsSid(sid, WinLocalSystemSid) || IsSid(sid, WinBuiltinAdministratorsSid)) {
            administrators += (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
            continue;
        }
        EXPECT_EQ(ace->Mask & kWriteRights, 0u) << "ACE " << i;
    }
    EXPECT_EQ(administrators, 2);
}

TEST(PrivateFiles, FolderNamesAreRandomAndFoldersNeverReused)
{
    std::wstring a = RandomName(), b = RandomName();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
    EXPECT_NE(a, b);

    ScratchFolder scratch;
    std::wstring made = CreatePrivateFolder(scratch / L"parent\\");
    ASSERT_FALSE(made.empty());
    EXPECT_TRUE(FileSystem::PathExists(made.c_str()));
    EXPECT_FALSE(CreateExclusiveFolder(made));
    EXPECT_TRUE(CreatePrivateFolder(scratch / L"no-trailing-backslash").empty());
}

TEST(PrivateFiles, APlantedFileIsNeverTakenOver)
{
    ScratchFolder scratch;
    std::wstring path = scratch / L"LarkspurUninst.exe";
    FileSystem::WriteStringToFile(path, "attacker");
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(WritePinnedFile(path, "ours"));
    EXPECT_EQ(FileSystem::ReadFileToString(path, true), "attacker");
}

TEST(PrivateFiles, APinnedFileHoldsWhatWasWrittenAndKeepsWritersOut)
{
    ScratchFolder scratch;
    std::wstring path = scratch / L"program.exe";
    std::string bytes(3 << 20, 'x');
    bytes[12345] = 'y';
    {
        UniqueHandle pin = WritePinnedFile(path, bytes);
        ASSERT_TRUE(pin);
        UniqueHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_FALSE(::DeleteFileW(path.c_str()));
        EXPECT_FALSE(::MoveFileW(path.c_str(), (scratch / L"moved.exe").c_str()));
        // Readers, such as the loader, still get in.
        UniqueHandle reader(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader);
    }
    EXPECT_EQ(FileSystem::ReadFileToString(path, true), bytes);
    EXPECT_TRUE(::DeleteFileW(path.c_str()));
}
