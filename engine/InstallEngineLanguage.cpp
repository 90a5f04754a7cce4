#include <windows.h>
#include <shlwapi.h>

#include "engine/InstallEngine.h"

std::wstring ReadLanguageOverride()
{
    return ReadLanguageOverride(L"D:\\languageConfigure.ini");
}

bool IsPlainLanguageCode(const std::wstring& code)
{
    if (code.empty() || code.size() > 16)
        return false;
    for (wchar_t c : code) {
        bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
        if (!letter && c != L'_' && c != L'-')
            return false;
    }
    return true;
}

std::wstring ReadLanguageOverride(const std::wstring& file)
{
    if (!::PathFileExistsW(file.c_str()))
        return std::wstring();
    wchar_t buffer[1048] = {};
    ::GetPrivateProfileStringW(L"BaseSetting", L"lan", L"", buffer, 1048, file.c_str());
    // The file sits where any user may write it and the engine runs elevated:
    // only a plain language code ("en_US") is taken, anything else is ignored.
    std::wstring code(buffer);
    return IsPlainLanguageCode(code) ? code : std::wstring();
}

std::wstring LanguageCodeFromLangId(LANGID id)
{
    switch (id) {
    case 0x0404:
        return L"zh_TW";
    case 0x0804:
        return L"zh_CN";
    case 0x0407:
    case 0x0807:
    case 0x0C07:
    case 0x1007:
    case 0x1407:
        return L"de_DE";
    case 0x0411:
        return L"ja_JP";
    case 0x041E:
        return L"th_TH";
    case 0x0421:
        return L"id_ID";
    case 0x042A:
        return L"vi_VN";
    default:
        break;
    }
    // Spanish: 0x040A to 0x500A in steps of 0x0400.
    if ((id & 0x03FF) == 0x000A && id >= 0x040A && id <= 0x500A)
        return L"es_ES";
    return L"en_US";
}

std::wstring GetSystemLanguageCode()
{
    return LanguageCodeFromLangId(::GetSystemDefaultLangID());
}
