#include "htmlengine/ScriptWatchdog.h"

#include <atomic>

#include "duktape.h"

namespace he {
namespace {

std::atomic<bool> g_running {false};
std::atomic<DWORD> g_started {0};

}  // namespace

void StartScriptClock()
{
    g_started = ::GetTickCount();
    g_running = true;
}

void StopScriptClock()
{
    g_running = false;
}

}  // namespace he

// Duktape's execution-time check, called every few thousand instructions.
// GetTickCount (not GetTickCount64, which XP lacks) wraps safely in the subtraction.
extern "C" int LarkspurScriptTimedOut(void*)
{
    return he::g_running && ::GetTickCount() - he::g_started > he::kScriptTimeLimitMs;
}
