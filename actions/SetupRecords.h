#pragma once
// The component record and the parameter records the executors read.
#include "engine/SetupList.h"
