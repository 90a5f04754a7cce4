#pragma once
// Leveled log records for the maker's logging library. Records reach its
// export XLogV only when vellog.dll is already loaded in the process; the
// program never loads it. Otherwise the records vanish.
#include <windows.h>

enum XLogLevel : int {
    XLOG_FUNC = 16,
    XLOG_INFO = 32,
    XLOG_ASSERT = 64,
};

// Format conventions are the Microsoft wide printf ones: %s wide, %S narrow.
void XLog(int level, const wchar_t* tag, const wchar_t* format, ...);
void XLogUntagged(int level, const wchar_t* format, ...);

namespace xlog_detail {
void ReportAssert(const wchar_t* text, DWORD error, const char* file, int line);
void ReportAssertHr(const wchar_t* text, DWORD error, const char* file, int line, HRESULT hr);
// The same record naming a given source file and line instead of the caller's.
void ReportAssertAt(const wchar_t* text, DWORD error, const wchar_t* file, int line);
void ReportAssertHrAt(const wchar_t* text, DWORD error, const wchar_t* file, int line, HRESULT hr);
// Exit clean-up, registered on first use; exposed so tests can exercise it.
void CleanUp();
// Whether XLogV is currently bound.
bool IsBound();
}  // namespace xlog_detail

// Reports a failed check with the last error that the failed call left,
// then lets the caller go on with its own failure path.
#define XASSERT(expr)                                                                                                  \
    do {                                                                                                               \
        if (!(expr)) {                                                                                                 \
            DWORD xassert_error_ = ::GetLastError();                                                                   \
            ::xlog_detail::ReportAssert(L"" #expr, xassert_error_, __FILE__, __LINE__);                                \
        }                                                                                                              \
    } while (0)

#define XASSERT_HR(expr, hr)                                                                                           \
    do {                                                                                                               \
        if (!(expr)) {                                                                                                 \
            DWORD xassert_error_ = ::GetLastError();                                                                   \
            ::xlog_detail::ReportAssertHr(L"" #expr, xassert_error_, __FILE__, __LINE__, (hr));                        \
        }                                                                                                              \
    } while (0)

// A failed check reported under a fixed file name and line (records that log
// readers match by place): XASSERT_AT(ui_msg, L"SciterView", 382). The
// _TEXT form names the check with a text of its own.
#define XASSERT_AT(expr, file, line) XASSERT_TEXT_AT((expr), L"" #expr, file, line)
#define XASSERT_TEXT_AT(expr, text, file, line)                                                                        \
    do {                                                                                                               \
        if (!(expr)) {                                                                                                 \
            DWORD xassert_error_ = ::GetLastError();                                                                   \
            ::xlog_detail::ReportAssertAt((text), xassert_error_, (file), (line));                                     \
        }                                                                                                              \
    } while (0)

#define XASSERT_HR_TEXT_AT(expr, hr, text, file, line)                                                                 \
    do {                                                                                                               \
        if (!(expr)) {                                                                                                 \
            DWORD xassert_error_ = ::GetLastError();                                                                   \
            ::xlog_detail::ReportAssertHrAt((text), xassert_error_, (file), (line), (hr));                             \
        }                                                                                                              \
    } while (0)

// The same as an expression: evaluates to the check's result.
#define XCHECK(expr) ::xlog_detail::Check(static_cast<bool>(expr), L"" #expr, __FILE__, __LINE__)

namespace xlog_detail {
inline bool Check(bool ok, const wchar_t* text, const char* file, int line)
{
    if (!ok)
        ReportAssert(text, ::GetLastError(), file, line);
    return ok;
}
}  // namespace xlog_detail

// Function-entry trace: XTRACE_FUNC(L"velui::frame::frame") or, with argument
// values, XTRACE_FUNC_ARGS(L"FUNCTION: %s(pszPath=%s)", L"name", pszPath).
#define XTRACE_FUNC(name) ::XLog(XLOG_FUNC, L"func", L"FUNCTION: %s", (name))
#define XTRACE_FUNC_ARGS(format, name, ...) ::XLog(XLOG_FUNC, L"func", (format), (name), __VA_ARGS__)
