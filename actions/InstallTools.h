#pragma once
// Base of the executors; the shell helpers (link files, change
// notification) of the shortcut operations join it with those operations.
#include <windows.h>

#include <string>

// A shell special folder as the shortcut operations look it up: the item
// list first (its failure code kept), then the path from it.
struct SpecialFolder {
    enum Status { Found, LocationFailed, PathFailed };
    Status status = LocationFailed;
    HRESULT hr = E_FAIL;
    std::wstring path;
};

class InstallTools {
public:
    virtual ~InstallTools() = default;

    // Writes folder\linkName as a shell link to target: comment = target,
    // working folder = the target's folder, normal window. False without a
    // folder or when the link object or its save fails.
    static bool CreateFileShortcut(const std::wstring& target, const wchar_t* folder, const std::wstring& linkName,
                                   const std::wstring& icon, const std::wstring& arguments);
    // Deletes the file; a failure is a debug line. Always true.
    static bool DeleteShortCut(const std::wstring& file);
    // Tells the shell about the change to path, and that its folder changed.
    static void NotifyShellChange(LONG event, const std::wstring& path);
    // Whether this Windows still offers the pinning verbs (up to Windows 8.1).
    static bool PinningVerbsOffered();

    // The shell's folder for csidl (virtual so tests can make lookups fail).
    virtual SpecialFolder GetSpecialFolder(int csidl) const;
    // Runs a shell verb on file without waiting or checking its result.
    // Pinning verbs are skipped silently where Windows no longer offers them.
    virtual void RunShellVerb(const std::wstring& verb, const std::wstring& file) const;
};
