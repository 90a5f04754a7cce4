#include "common/PrivateFiles.h"

#include <sddl.h>

#include <algorithm>
#include <vector>

#include "common/FileSystem.h"

// advapi32's random generator (SystemFunction036), present since Windows XP.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace PrivateFiles {

namespace {

// Owned by the administrators; full control for SYSTEM and the
// administrators; read and execute for authenticated users; the owner's
// implicit right to change the list is cut to reading it, so an owner outside
// the administrators gains nothing.
const wchar_t kPrivateAccess[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;AU)(A;OICI;RC;;;S-1-3-4)";

constexpr int kNameAttempts = 8;

}  // namespace

std::wstring RandomName()
{
    unsigned char bytes[16] = {};
    if (!SystemFunction036(bytes, sizeof(bytes)))
        return std::wstring();
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring name;
    for (unsigned char b : bytes) {
        name += kHex[b >> 4];
        name += kHex[b & 15];
    }
    return name;
}

UniqueLocal NewPrivateDescriptor()
{
    UniqueLocal descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateAccess, SDDL_REVISION_1, descriptor.put(),
                                                                nullptr))
        return {};
    return descriptor;
}

bool CreateExclusiveFolder(const std::wstring& folder)
{
    UniqueLocal descriptor = NewPrivateDescriptor();
    if (!descriptor)
        return false;
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor.get();
    // CreateDirectoryW fails on anything already there, link or folder alike.
    return ::CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

std::wstring CreatePrivateFolder(const std::wstring& parent)
{
    if (parent.empty() || (parent.back() != L'\\' && parent.back() != L'/'))
        return std::wstring();
    FileSystem::CreateDirectoryTree(parent);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::wstring name = RandomName();
        if (name.empty())
            return std::wstring();
        std::wstring folder = parent + name;
        if (CreateExclusiveFolder(folder))
            return folder + L"\\";
    }
    return std::wstring();
}

UniqueHandle WritePinnedFile(const std::wstring& path, const std::string& bytes)
{
    {
        UniqueHandle file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return UniqueHandle();
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            DWORD written = 0;
            if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written != chunk) {
                file.reset();
                ::DeleteFileW(path.c_str());
                return UniqueHandle();
            }
            done += chunk;
        }
        if (!::FlushFileBuffers(file.get())) {
            file.reset();
            ::DeleteFileW(path.c_str());
            return UniqueHandle();
        }
    }
    // Sharing for reading only: from here on nobody can open the file for
    // writing, replace or delete it. What is on disk is then compared with what
    // was written, so a swap between the two opens is caught as well.
    UniqueHandle pin(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!pin)
        return UniqueHandle();
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(pin.get(), &size) || static_cast<unsigned long long>(size.QuadPart) != bytes.size())
        return UniqueHandle();
    std::vector<char> buffer(1u << 16);
    size_t checked = 0;
    while (checked < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - checked, buffer.size()));
        DWORD got = 0;
        if (!::ReadFile(pin.get(), buffer.data(), want, &got, nullptr) || got != want ||
            bytes.compare(checked, want, buffer.data(), want) != 0)
            return UniqueHandle();
        checked += want;
    }
    return pin;
}

}  // namespace PrivateFiles
