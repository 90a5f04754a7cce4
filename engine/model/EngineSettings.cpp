#include "engine/model/EngineSettings.h"

EngineSettings g_engineSettings;
