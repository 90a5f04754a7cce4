#pragma once
// Debug lines: one message per call on the Windows debug-output channel,
// already carrying the executable's prefix ("stagehand.exe=>", "Setup.exe=>"),
// without a line end. Tests replace the sink to capture the lines.
#include <string>

class iDebugSink {
public:
    virtual ~iDebugSink() = default;
    virtual void WriteWide(const std::wstring& line) = 0;
    virtual void WriteNarrow(const std::string& line) = 0;
};

// Installs a sink for the whole process and returns the previous one;
// nullptr restores the default (OutputDebugStringW / OutputDebugStringA).
iDebugSink* SetDebugSink(iDebugSink* sink);

// A wide line: prefix and message joined.
void DebugLine(const std::wstring& line);
// A narrow line built from a printf format that already holds the prefix.
// Lines longer than the usual 128-byte buffer are kept whole.
void DebugLineA(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;
