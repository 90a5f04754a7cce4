#pragma once
// The clean-up after a successful uninstall: the folder remover (resource
// BIN 171) removes the service folder and the product folder once the engine
// has ended.
#include <windows.h>

#include <string>

// Set by the uninstall check, read by the clean-up.
extern bool g_bRemoveServiceDir;
extern std::wstring g_wstrServiceDir;

constexpr int kRemoverResourceId = 171;

void CleanUpAfterUninstall(const std::wstring& setupDir, HINSTANCE module);

// The remover's single argument for a folder ending with a backslash: the
// folder in double quotes with one more backslash before the closing quote.
std::wstring RemoverParameters(const std::wstring& folder);
// Whether the product folder may be handed to the remover: only a folder
// directly inside the company folder, never a root or a user's own folder.
bool IsRemovableProductFolder(const std::wstring& setupDir);
