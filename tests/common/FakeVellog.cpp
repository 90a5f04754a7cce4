// Test stand-in for vellog.dll: formats each record and keeps it.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {
std::mutex g_lock;
std::vector<std::wstring> g_records;
}  // namespace

extern "C" __declspec(dllexport) int WINAPI XLogV(int level, const wchar_t* tag, const wchar_t* format, va_list args)
{
    wchar_t buffer[2048] = {};
    _vsnwprintf(buffer, 2047, format, args);
    std::lock_guard<std::mutex> guard(g_lock);
    g_records.push_back(std::to_wstring(level) + L"|" + tag + L"|" + buffer);
    return 0;
}

extern "C" __declspec(dllexport) void WINAPI VelDebugReport() { }
extern "C" __declspec(dllexport) void WINAPI XLogAddIndent() { }
extern "C" __declspec(dllexport) void WINAPI GetLogController2() { }

// Copies the records, joined by "\n", into the buffer; returns the needed size.
extern "C" __declspec(dllexport) int WINAPI FakeVellogTake(wchar_t* out, int capacity)
{
    std::lock_guard<std::mutex> guard(g_lock);
    std::wstring joined;
    for (const auto& r : g_records)
        joined += r + L"\n";
    g_records.clear();
    if (out && capacity > 0) {
        int n = static_cast<int>(joined.size()) < capacity - 1 ? static_cast<int>(joined.size()) : capacity - 1;
        joined.copy(out, n);
        out[n] = L'\0';
    }
    return static_cast<int>(joined.size()) + 1;
}
