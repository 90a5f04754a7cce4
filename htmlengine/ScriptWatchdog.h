#pragma once
// Page scripts run on their window's thread. The clock runs from the outermost
// entry into script code until it returns; past the limit every further step
// of the script throws a RangeError, so a loop ends, the error is reported like
// any other, and the window goes on working.
#include <windows.h>

namespace he {

constexpr DWORD kScriptTimeLimitMs = 5000;

void StartScriptClock();
void StopScriptClock();

}  // namespace he
