#include "common/CmdLine.h"

#include <cwctype>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool IsSwitchToken(const std::wstring& token)
{
    return !token.empty() && (token[0] == L'-' || token[0] == L'/');
}

std::wstring Lower(const std::wstring& text)
{
    std::wstring result = text;
    for (wchar_t& c : result)
        c = static_cast<wchar_t>(std::towlower(c));
    return result;
}

}  // namespace

std::vector<std::wstring> CCmdLine::Tokenize(const wchar_t* text)
{
    std::vector<std::wstring> tokens;
    if (!text)
        return tokens;
    const wchar_t* p = text;
    while (*p != L'\0') {
        std::wstring token;
        bool quoting = false;
        for (;;) {
            wchar_t c = *p;
            if (c == L'\\' && p[1] == L'"') {
                token += L'\\';
                ++p;
                continue;
            }
            if (c == L'"') {
                quoting = !quoting;
                ++p;
                continue;
            }
            if (!quoting && IsBlank(c)) {
                while (IsBlank(*p))
                    ++p;
                break;
            }
            if (c == L'\0')
                break;
            token += c;
            ++p;
        }
        tokens.push_back(token);
    }
    return tokens;
}

bool CCmdLine::Parse(const wchar_t* text)
{
    m_mapSwitch.clear();
    if (!text)
        return false;
    std::vector<std::wstring> tokens = Tokenize(text);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::wstring& token = tokens[i];
        if (!IsSwitchToken(token))
            continue;
        size_t start = token.find_first_not_of(L"-/");
        if (start == std::wstring::npos || token[start] == L'=')
            continue;
        std::wstring rest = token.substr(start);
        size_t equals = rest.find(L'=');
        if (equals != std::wstring::npos) {
            m_mapSwitch[Lower(rest.substr(0, equals))] = rest.substr(equals + 1);
            continue;
        }
        std::wstring value;
        if (i + 1 < tokens.size() && !IsSwitchToken(tokens[i + 1])) {
            value = tokens[i + 1];
            ++i;
        }
        m_mapSwitch[Lower(rest)] = value;
    }
    return true;
}

bool CCmdLine::HasKey(const std::wstring& name) const
{
    return m_mapSwitch.find(name) != m_mapSwitch.end();
}

std::wstring CCmdLine::GetValue(const std::wstring& name) const
{
    auto it = m_mapSwitch.find(name);
    return it == m_mapSwitch.end() ? std::wstring() : it->second;
}
