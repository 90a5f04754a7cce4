#pragma once
// The entry table of the engine (also used in-process by tests).
#include "htmlengine/include/htmlengine/SciterApi.h"

namespace he {
ISciterAPI* EngineApi();
}
