#include "common/XLog.h"

#include <cstdarg>
#include <cstdlib>

namespace {

typedef int(WINAPI* XLogVFn)(int level, const wchar_t* tag, const wchar_t* format, va_list args);

struct XLogBinding {
    volatile LONG state = 0;  // 1 while usable
    LONG bound = 0;           // 1 once vellog.dll was found
    HMODULE module = nullptr;
    CRITICAL_SECTION lock;
    FARPROC getLogController2 = nullptr;
    FARPROC velDebugReport = nullptr;
    FARPROC xlogAddIndent = nullptr;
    XLogVFn xlogV = nullptr;
};

XLogBinding g_binding;

// Runs once, even when two threads log first at the same moment; a function-
// local static rather than InitOnceExecuteOnce, which Windows XP lacks.
void SetUpBinding()
{
    g_binding.bound = 0;
    g_binding.module = nullptr;
    g_binding.getLogController2 = nullptr;
    g_binding.velDebugReport = nullptr;
    g_binding.xlogAddIndent = nullptr;
    g_binding.xlogV = nullptr;
    ::InitializeCriticalSection(&g_binding.lock);
    ::InterlockedExchange(&g_binding.state, 1);
    std::atexit(&xlog_detail::CleanUp);
}

void EnsureBinding()
{
    static const bool once = (SetUpBinding(), true);
    (void)once;
}

// 0 when it binds, 1 when already bound, E_FAIL when unusable or absent.
HRESULT TryBind()
{
    if (g_binding.state != 1)
        return E_FAIL;
    if (g_binding.bound)
        return 1;
    HRESULT result = E_FAIL;
    ::EnterCriticalSection(&g_binding.lock);
    if (g_binding.bound) {
        result = 1;
    } else {
        ::SetLastError(0);
        HMODULE module = nullptr;
        if (::GetModuleHandleExW(0, L"vellog.dll", &module) && module) {
            g_binding.module = module;
            g_binding.xlogV = reinterpret_cast<XLogVFn>(reinterpret_cast<void*>(::GetProcAddress(module, "XLogV")));
            g_binding.velDebugReport = ::GetProcAddress(module, "VelDebugReport");
            g_binding.xlogAddIndent = ::GetProcAddress(module, "XLogAddIndent");
            g_binding.getLogController2 = ::GetProcAddress(module, "GetLogController2");
            ::InterlockedExchange(&g_binding.bound, 1);
            result = 0;
        }
    }
    ::LeaveCriticalSection(&g_binding.lock);
    return result;
}

void LogV(int level, const wchar_t* tag, const wchar_t* format, va_list args)
{
    DWORD error = ::GetLastError();
    EnsureBinding();
    if (g_binding.state == 1) {
        if (!g_binding.bound)
            TryBind();
        XLogVFn fn = g_binding.xlogV;
        if (fn)
            fn(level, tag, format, args);
    }
    ::SetLastError(error);
}

}  // namespace

void XLog(int level, const wchar_t* tag, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(level, tag, format, args);
    va_end(args);
}

void XLogUntagged(int level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(level, L"", format, args);
    va_end(args);
}

namespace xlog_detail {

void ReportAssert(const wchar_t* text, DWORD error, const char* file, int line)
{
    XLog(XLOG_ASSERT, L"assert", L"ASSERT(%s) LastError=0X%X @ %S(%d)", text, error, file, line);
    ::SetLastError(error);
}

void ReportAssertAt(const wchar_t* text, DWORD error, const wchar_t* file, int line)
{
    XLog(XLOG_ASSERT, L"assert", L"ASSERT(%s) LastError=0X%X @ %s(%d)", text, error, file, line);
    ::SetLastError(error);
}

void ReportAssertHrAt(const wchar_t* text, DWORD error, const wchar_t* file, int line, HRESULT hr)
{
    XLog(XLOG_ASSERT, L"assert", L"ASSERT(%s) LastError=0X%X @ %s(%d)HR=0X%X", text, error, file, line, hr);
    ::SetLastError(error);
}

void ReportAssertHr(const wchar_t* text, DWORD error, const char* file, int line, HRESULT hr)
{
    XLog(XLOG_ASSERT, L"assert", L"ASSERT(%s) LastError=0X%X @ %S(%d)HR=0X%X", text, error, file, line, hr);
    ::SetLastError(error);
}

void CleanUp()
{
    if (::InterlockedCompareExchange(&g_binding.state, 0, 0) != 1)
        return;
    g_binding.xlogV = nullptr;
    g_binding.velDebugReport = nullptr;
    g_binding.xlogAddIndent = nullptr;
    g_binding.getLogController2 = nullptr;
    g_binding.bound = 0;
    ::InterlockedExchange(&g_binding.state, 0);
    ::DeleteCriticalSection(&g_binding.lock);
}

bool IsBound()
{
    return g_binding.state == 1 && g_binding.xlogV != nullptr;
}

}  // namespace xlog_detail
