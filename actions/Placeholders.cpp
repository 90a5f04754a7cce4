#include "actions/Placeholders.h"

bool ReplaceFirst(std::wstring& text, const std::wstring& token, const std::wstring& value)
{
    if (token.empty())
        return false;
    size_t pos = text.find(token);
    if (pos == std::wstring::npos)
        return false;
    text.replace(pos, token.size(), value);
    return true;
}

void ReplaceAll(std::wstring& text, const std::wstring& token, const std::wstring& value)
{
    if (token.empty())
        return;
    for (size_t pos = text.find(token); pos != std::wstring::npos; pos = text.find(token, pos + value.size()))
        text.replace(pos, token.size(), value);
}
