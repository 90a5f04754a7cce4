#pragma once
// The component and parameter records the executors read.
#include "engine/SetupList.h"
