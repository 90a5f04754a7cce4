#include "htmlengine/Url.h"

#include <vector>

namespace he {

namespace {
size_t SchemeEnd(const std::wstring& u)
{
    size_t p = u.find(L"://");
    if (p != std::wstring::npos && p > 0) {
        for (size_t i = 0; i < p; ++i)
            if (!iswalnum(u[i]) && u[i] != L'+' && u[i] != L'-' && u[i] != L'.')
                return std::wstring::npos;
        return p + 3;
    }
    p = u.find(L':');
    if (p != std::wstring::npos && p > 1) {  // "res:name", "data:" (a drive letter is one character)
        for (size_t i = 0; i < p; ++i)
            if (!iswalpha(u[i]))
                return std::wstring::npos;
        return p + 1;
    }
    return std::wstring::npos;
}

std::wstring Normalize(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    size_t i = 0;
    bool lead = !path.empty() && path[0] == L'/';
    while (i <= path.size()) {
        size_t j = path.find(L'/', i);
        if (j == std::wstring::npos)
            j = path.size();
        std::wstring seg = path.substr(i, j - i);
        if (seg == L"..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (seg != L"." && !(seg.empty() && j < path.size()))
            parts.push_back(seg);
        i = j + 1;
    }
    std::wstring out = lead ? L"/" : L"";
    for (size_t k = 0; k < parts.size(); ++k) {
        if (k)
            out += L'/';
        out += parts[k];
    }
    return out;
}
}  // namespace

std::wstring ResolveUrl(const std::wstring& base, const std::wstring& refIn)
{
    std::wstring ref = refIn;
    for (auto& c : ref)
        if (c == L'\\')
            c = L'/';
    while (!ref.empty() && iswspace(ref.back()))
        ref.pop_back();
    while (!ref.empty() && iswspace(ref.front()))
        ref.erase(0, 1);
    if (ref.empty())
        return base;
    if (SchemeEnd(ref) != std::wstring::npos)
        return ref;
    if (ref.size() > 1 && ref[1] == L':')
        return L"file://" + ref;  // a drive path
    size_t se = SchemeEnd(base);
    std::wstring scheme = se == std::wstring::npos ? L"" : base.substr(0, se);
    std::wstring path = se == std::wstring::npos ? base : base.substr(se);
    for (auto& c : path)
        if (c == L'\\')
            c = L'/';
    size_t q = path.find_first_of(L"?#");
    if (q != std::wstring::npos)
        path.resize(q);
    if (ref[0] == L'#')
        return scheme + path + ref;
    if (ref[0] == L'/') {
        // Root-relative: file://app/x.htm + /common/y.js -> file://common/y.js
        std::wstring r = Normalize(ref);
        if (scheme == L"file://" && !(r.size() > 2 && r[2] == L':'))
            return scheme + r.substr(1);
        return scheme + r;
    }
    size_t slash = path.rfind(L'/');
    std::wstring dir = slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
    return scheme + Normalize(dir + ref);
}

std::wstring FilePathOfUrl(const std::wstring& url)
{
    std::wstring rest;
    if (url.compare(0, 8, L"file:///") == 0)
        rest = url.substr(8);
    else if (url.compare(0, 7, L"file://") == 0)
        rest = url.substr(7);
    else if (url.size() > 2 && url[1] == L':')
        rest = url;
    else
        return std::wstring();
    for (auto& c : rest)
        if (c == L'/')
            c = L'\\';
    if (rest.size() > 1 && rest[1] == L':')
        return rest;
    return std::wstring();
}

}  // namespace he
