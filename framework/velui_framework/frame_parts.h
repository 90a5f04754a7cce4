#pragma once
// The window-shadow, drag-out and edge-resize parts of a frame.
#include "framework/velui_framework/DragFrameBase.h"
#include "framework/velui_framework/ResizeFrameBase.h"
#include "framework/velui_framework/ShadowFrameBase.h"
