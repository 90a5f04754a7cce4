#include "ui/PageFailure.h"

#include "common/DebugOutput.h"

namespace {

struct FailureText {
    const wchar_t* language;
    const wchar_t* text;
};

constexpr FailureText kTexts[] = {
    {L"zh_CN", L"\x5B89\x88C5\x7A0B\x5E8F\x65E0\x6CD5\x663E\x793A\x7A97\x53E3\xFF0C\x5373\x5C06\x9000\x51FA\x3002"
               L"\x8BF7\x91CD\x65B0\x4E0B\x8F7D\x5B89\x88C5\x7A0B\x5E8F\x3002"},
    {L"zh_TW", L"\x5B89\x88DD\x7A0B\x5F0F\x7121\x6CD5\x986F\x793A\x8996\x7A97\xFF0C\x5373\x5C07\x7D50\x675F\x3002"
               L"\x8ACB\x91CD\x65B0\x4E0B\x8F09\x5B89\x88DD\x7A0B\x5F0F\x3002"},
    {L"en_US", L"Setup could not show its window and will now end. Please download the setup again."},
    {L"th_TH", L"\x0E42\x0E1B\x0E23\x0E41\x0E01\x0E23\x0E21\x0E15\x0E34\x0E14\x0E15\x0E31\x0E49\x0E07"
               L"\x0E44\x0E21\x0E48\x0E2A\x0E32\x0E21\x0E32\x0E23\x0E16\x0E41\x0E2A\x0E14\x0E07"
               L"\x0E2B\x0E19\x0E49\x0E32\x0E15\x0E48\x0E32\x0E07\x0E44\x0E14\x0E49\x0E41\x0E25\x0E30"
               L"\x0E08\x0E30\x0E1B\x0E34\x0E14\x0E25\x0E07 "
               L"\x0E01\x0E23\x0E38\x0E13\x0E32\x0E14\x0E32\x0E27\x0E19\x0E4C\x0E42\x0E2B\x0E25\x0E14"
               L"\x0E42\x0E1B\x0E23\x0E41\x0E01\x0E23\x0E21\x0E15\x0E34\x0E14\x0E15\x0E31\x0E49\x0E07"
               L"\x0E2D\x0E35\x0E01\x0E04\x0E23\x0E31\x0E49\x0E07"},
    {L"vi_VN", L"Tr\x00ECnh c\x00E0i \x0111\x1EB7t kh\x00F4ng th\x1EC3 hi\x1EC3n th\x1ECB c\x1EED"
               L"a s\x1ED5 v\x00E0 s\x1EBD \x0111\x00F3ng l\x1EA1i. Vui l\x00F2ng t\x1EA3i l\x1EA1i "
               L"tr\x00ECnh c\x00E0i \x0111\x1EB7t."},
    {L"id_ID", L"Penyiapan tidak dapat menampilkan jendelanya dan akan ditutup. Silakan unduh ulang penyiapan."},
};

constexpr wchar_t kCaption[] = L"Larkspur";

}  // namespace

std::wstring PageFailureText(const std::wstring& language)
{
    for (const FailureText& entry : kTexts)
        if (language == entry.language)
            return entry.text;
    return kTexts[0].text;
}

void ReportPageFailure(const std::wstring& page, const std::wstring& reason, const std::wstring& language)
{
    DebugLine(L"stagehand.exe=>page " + page + L" failed: " + reason);
    const std::wstring text = PageFailureText(language);
    ::MessageBoxW(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}
