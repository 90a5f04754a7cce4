#pragma once
// The install's wait for the product files that setup unpacks beside the
// engine while the first pages show.
#include <windows.h>

#include <functional>
#include <string>

#include "common/Handles.h"

enum class BodyState {
    Ready,      // "finish.bin" is there
    Failed,     // setup reported a body that did not unpack completely
    SetupGone,  // the setup program ended (killed, crashed) without either marker
};

// Polls `engineFolder` (ending with a backslash) every 100 ms at the worker's
// interruption points until a marker appears or `setup` (may be empty) ends.
BodyState WaitForBodyFiles(const std::wstring& engineFolder, HANDLE setup);

// Whether a marker file is there; tests replace the file system's answer to
// order a marker against the end of setup.
using MarkerLookup = std::function<bool(const std::wstring& path)>;
BodyState WaitForBodyFiles(const std::wstring& engineFolder, HANDLE setup, const MarkerLookup& exists);

// The process that started this one, if it is still the same process (started
// before this one); empty otherwise.
UniqueHandle OpenParentProcess();
