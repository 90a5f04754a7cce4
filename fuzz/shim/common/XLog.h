#pragma once
// Native fuzzing: checks keep their value and report nothing.
#define XCHECK(expr) static_cast<bool>(expr)
#define XASSERT(expr) static_cast<void>(expr)
