#include "framework/velui_framework/DragTagFile.h"

#include <cstring>
#include <cwctype>

#include "common/Handles.h"

namespace velui {

const wchar_t kDragTagName[] = L"velui_{60ae33aa-3199-4329-8058-682abd38df8e}.cfg";
const char kDragTagContent[] = "Larkspur";
const DWORD kDragTagContentSize = sizeof(kDragTagContent);  // with its zero byte

namespace {

constexpr int kTagAttempts = 32;
// The shell may rename a copy ("name (2).cfg"): the part before the extension is what counts.
const wchar_t kDragTagStem[] = L"velui_{60ae33aa-3199-4329-8058-682abd38df8e}";

std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Only a plain file with a single name; links and directories are refused.
bool IsPlainSingleFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info)
{
    if (!::GetFileInformationByHandle(file, &info))
        return false;
    return !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
           info.nNumberOfLinks == 1;
}

bool WriteTagFile(const std::wstring& path)
{
    // The link itself is opened, never its target; nobody else may open the
    // file, rename or delete it while it is written.
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file)
        return false;
    BY_HANDLE_FILE_INFORMATION info {};
    if (!IsPlainSingleFile(file.get(), info))
        return false;
    DWORD written = 0;
    if (::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !::SetEndOfFile(file.get()) ||
        !::WriteFile(file.get(), kDragTagContent, kDragTagContentSize, &written, nullptr) ||
        written != kDragTagContentSize)
        return false;
    // Attribute-only access passes the handle's sharing: still our file.
    ::SetFileAttributesW(path.c_str(), info.dwFileAttributes | FILE_ATTRIBUTE_HIDDEN);
    return true;
}

using SetInfoFn = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);

SetInfoFn SetFileInfoByHandle()
{
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<SetInfoFn>(
                        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetFileInformationByHandle")))
                  : nullptr;
}

}  // namespace

std::wstring BuildDragTagFile(const std::wstring& folder)
{
    std::wstring path = folder + kDragTagName;
    for (int attempt = 0; attempt < kTagAttempts; ++attempt) {
        if (attempt > 0)
            path += L"(" + std::to_wstring(attempt) + L")";
        if (WriteTagFile(path))
            return path;
    }
    return std::wstring();
}

bool NamesDragTag(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return Lower(name).find(Lower(kDragTagStem)) != std::wstring::npos;
}

TagDeleteResult DeleteDragTagCopy(const std::wstring& path)
{
    if (!NamesDragTag(path))
        return TagDeleteResult::NotOurs;
    // Directories and links open as themselves, to be recognised and refused.
    UniqueHandle file(::CreateFileW(path.c_str(), DELETE | GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TagDeleteResult::NotOurs
                                                                              : TagDeleteResult::Failed;
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (!IsPlainSingleFile(file.get(), info) || info.nFileSizeHigh != 0 || info.nFileSizeLow != kDragTagContentSize)
        return TagDeleteResult::NotOurs;
    char content[sizeof(kDragTagContent)] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), content, kDragTagContentSize, &read, nullptr) || read != kDragTagContentSize ||
        memcmp(content, kDragTagContent, kDragTagContentSize) != 0)
        return TagDeleteResult::NotOurs;
    // Deleted through the handle that was checked. Without that call (XP) the
    // name is deleted, which removes a link itself and never its target.
    if (SetInfoFn setInfo = SetFileInfoByHandle()) {
        FILE_DISPOSITION_INFO disposition {};
        disposition.DeleteFile = TRUE;
        if (setInfo(file.get(), FileDispositionInfo, &disposition, sizeof(disposition)))
            return TagDeleteResult::Deleted;
    }
    file.reset();
    return ::DeleteFileW(path.c_str()) ? TagDeleteResult::Deleted : TagDeleteResult::Failed;
}

}  // namespace velui
