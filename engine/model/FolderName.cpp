#include "engine/model/FolderName.h"

const wchar_t kCompanyFolder[] = L"Orbisoft";

namespace {

unsigned FoldUnit(wchar_t c)
{
    unsigned low = static_cast<unsigned>(c) & 0xFFu;
    if (low >= 'A' && low <= 'Z')
        low += 'a' - 'A';
    return low;
}

}  // namespace

bool IsSameFolderName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldUnit(a[i]) != FoldUnit(b[i]))
            return false;
    }
    return true;
}

std::wstring LastPathComponent(const std::wstring& path)
{
    size_t end = path.find_last_not_of(L'\\');
    if (end == std::wstring::npos)
        return std::wstring();
    size_t slash = path.rfind(L'\\', end);
    size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    return path.substr(start, end + 1 - start);
}

std::wstring ParentFolderOf(const std::wstring& path)
{
    size_t end = path.find_last_not_of(L"\\/");
    if (end == std::wstring::npos)
        return path;
    std::wstring stripped = path.substr(0, end + 1);
    size_t cut = stripped.find_last_of(L"\\/");
    if (cut == std::wstring::npos)
        return stripped;
    return stripped.substr(0, cut + 1);
}

std::wstring WithCompanyFolder(const std::wstring& dir)
{
    if (dir.empty() || IsSameFolderName(LastPathComponent(dir), kCompanyFolder))
        return dir;
    return dir.back() == L'\\' ? dir + kCompanyFolder : dir + L"\\" + kCompanyFolder;
}
