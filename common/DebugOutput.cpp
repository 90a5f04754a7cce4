#include "common/DebugOutput.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

class SystemDebugSink : public iDebugSink {
public:
    void WriteWide(const std::wstring& line) override { ::OutputDebugStringW(line.c_str()); }
    void WriteNarrow(const std::string& line) override { ::OutputDebugStringA(line.c_str()); }
};

SystemDebugSink g_systemSink;
std::atomic<iDebugSink*> g_sink {&g_systemSink};

}  // namespace

iDebugSink* SetDebugSink(iDebugSink* sink)
{
    iDebugSink* previous = g_sink.exchange(sink ? sink : &g_systemSink);
    return previous == &g_systemSink ? nullptr : previous;
}

void DebugLine(const std::wstring& line)
{
    DWORD error = ::GetLastError();
    g_sink.load()->WriteWide(line);
    ::SetLastError(error);
}

void DebugLineA(const char* format, ...)
{
    DWORD error = ::GetLastError();
    char buffer[128];
    va_list args;
    va_start(args, format);
    int needed = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    std::string line;
    if (needed < 0) {
        line = format;
    } else if (static_cast<size_t>(needed) < sizeof(buffer)) {
        line.assign(buffer, static_cast<size_t>(needed));
    } else {
        std::vector<char> big(static_cast<size_t>(needed) + 1);
        va_start(args, format);
        std::vsnprintf(big.data(), big.size(), format, args);
        va_end(args);
        line.assign(big.data(), static_cast<size_t>(needed));
    }
    g_sink.load()->WriteNarrow(line);
    ::SetLastError(error);
}
