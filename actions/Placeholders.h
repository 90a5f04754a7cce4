#pragma once
// Placeholder tokens in action texts and their plain-text substitution.
// Tokens are found by exact, case-sensitive comparison.
#include <string>

namespace Placeholder {
inline constexpr wchar_t kProgramDir[] = L"$PROGRAMDIR$";
inline constexpr wchar_t kServiceDir[] = L"$SERVICEDIR$";
inline constexpr wchar_t kPcSuitDir[] = L"$PCSUITDIR$";
inline constexpr wchar_t kCurrentPath[] = L"$CURRENTPATH$";
inline constexpr wchar_t kRegKey[] = L"$REGKEY$";
inline constexpr wchar_t kVersionCode[] = L"$VERSIONCODE$";
inline constexpr wchar_t kMode[] = L"$MODE$";
inline constexpr wchar_t kStartMenu[] = L"$STARTMENU$";
inline constexpr wchar_t kMyDocuments[] = L"$MYDOCUMENTS$";
inline constexpr wchar_t kAppData[] = L"$APPDATA$";
}  // namespace Placeholder

// Replaces the first occurrence of token; returns whether there was one.
bool ReplaceFirst(std::wstring& text, const std::wstring& token, const std::wstring& value);
// Replaces every occurrence, searching on after each inserted value, so a
// value that holds the token is not expanded again.
void ReplaceAll(std::wstring& text, const std::wstring& token, const std::wstring& value);
