#pragma once
// Folders an elevated run can trust by their path, because no unelevated
// program can change what the path names while the run holds them.
//
// An elevated run writes and starts programs only inside an administrator-only
// base: a folder with a random name, created exclusively with the private
// access list (owner Administrators), verified on its open handle (a plain
// folder, no reparse point in any part of its path, owner Administrators or
// SYSTEM, its final path the one asked for) and held, together with every
// folder above it, without delete sharing for the whole run. A held folder
// cannot be renamed, deleted or replaced by a link, so every path below the
// base names what the run put there. The design is in the README ("Security:
// the folders of an elevated run").
//
// The rules Windows applies and Wine does not show (owners, the process
// token) go through Rules, which tests replace with ScopedRules.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/Handles.h"

namespace SecureFolders {

struct Rules {
    // Whether the process token's user is LocalSystem.
    std::function<bool()> isLocalSystem;
    // Whether the owner of the open folder is the Administrators group or SYSTEM.
    std::function<bool(HANDLE folder)> ownerIsAdministrative;
    // The Windows folder, without a trailing backslash.
    std::function<std::wstring()> windowsFolder;
};

// The rules in force: the system's own unless a ScopedRules replaces them.
const Rules& CurrentRules();
// The system's own rules.
Rules SystemRules();

// Replaces the rules (each empty member keeps the system's) while it lives.
class ScopedRules {
public:
    explicit ScopedRules(Rules rules);
    ~ScopedRules();
    ScopedRules(const ScopedRules&) = delete;
    ScopedRules& operator=(const ScopedRules&) = delete;

private:
    Rules m_previous;
};

// The Windows decisions themselves, for any SID.
bool IsAdministrativeOwner(PSID owner);  // BUILTIN\Administrators or SYSTEM
bool IsLocalSystemSid(PSID sid);         // S-1-5-18
bool ProcessIsLocalSystem();             // CurrentRules().isLocalSystem()
// Whether this process runs under Wine (which reports the creating user as
// the owner of every file it makes).
bool RunningOnWine();

// `path` made full (GetFullPathNameW: "..", "." and "/" resolved) with the
// long names of the parts that exist (GetLongPathNameW) and a trailing
// backslash; "" when it is not a path on a drive ("C:\...").
std::wstring NormalFolderPath(const std::wstring& path);

// Whether the final path of the open file (GetFinalPathNameByHandleW) is
// `expected` (a full path, a trailing backslash ignored, case ignored); true
// where the system cannot tell (Windows XP).
bool FinalPathIs(HANDLE file, const std::wstring& expected);

// Every folder of a full path, from the drive root down, opened one after the
// other without delete sharing and checked on its handle to be a plain folder
// (never a reparse point: link, junction, mount point). While held, none of
// them can be renamed, deleted or replaced, so the path keeps naming them.
// How every held folder is shared with other programs: reading and writing,
// never deletion (which a rename or a replacement needs).
inline constexpr DWORD kHeldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

class HeldPath {
public:
    HeldPath() = default;
    HeldPath(HeldPath&&) = default;
    HeldPath& operator=(HeldPath&&) = default;

    // `folder` is normalised first; with `create`, missing folders are created
    // (plainly, one at a time, each checked as it is opened). False, with the
    // reason in `why`, when any part is missing, not a folder, a reparse point,
    // cannot be opened, or ends elsewhere than its path says.
    bool Open(const std::wstring& folder, bool create, std::wstring* why = nullptr);
    void Release();
    bool Held() const { return !m_handles.empty(); }
    // The normalised folder, with a trailing backslash.
    const std::wstring& Path() const { return m_path; }
    HANDLE Last() const { return m_handles.empty() ? nullptr : m_handles.back().get(); }
    // The folders held, from the drive root down ("C:\", "C:\Users", ...).
    const std::vector<std::wstring>& Folders() const { return m_folders; }

private:
    std::vector<UniqueHandle> m_handles;
    std::vector<std::wstring> m_folders;
    std::wstring m_path;
};

// The administrator-only base of an elevated run (see the top of this file).
class AdminBase {
public:
    AdminBase() = default;
    ~AdminBase();
    AdminBase(const AdminBase&) = delete;
    AdminBase& operator=(const AdminBase&) = delete;

    // Creates the base as `parent` + `prefix` + 32 random hexadecimal digits
    // (`parent` ends with a backslash and is created when missing), verifies
    // and holds it. False, with the reason in `why`, when that cannot be done;
    // a folder found in its place is never used.
    bool Create(const std::wstring& parent, const std::wstring& prefix = L"", std::wstring* why = nullptr);
    bool Held() const { return static_cast<bool>(m_base); }
    // The base, with a trailing backslash ("" before Create succeeded).
    const std::wstring& Path() const { return m_path; }
    // Removes everything inside the base (links as links), then the base
    // itself, and lets go of the folders above it; true when it is gone.
    bool Remove();
    // Lets go of the base and the folders above it, leaving them in place.
    void Release();
    // Every folder held while the base lives, the base last.
    std::vector<std::wstring> HeldFolders() const;

private:
    HeldPath m_parent;
    UniqueHandle m_base;
    std::wstring m_path;
};

// Where an elevated run makes its bases: "<Windows>\SystemTemp\" when the
// process runs as LocalSystem and that folder exists, otherwise the
// temporary folder (GetTempPathW); with a trailing backslash, "" on failure.
std::wstring TemporaryRoot();

// Creates a base in TemporaryRoot() + `folder` + "\" (for example
// "<temp>Setup\<random>\"); when that folder cannot be held (a link, a file,
// a folder that cannot be opened), the base goes beside it as
// "<temp><folder>-<random>\" instead; `why` then tells why the folder was
// passed over (or why no base could be made at all).
bool CreateTemporaryBase(AdminBase& base, const std::wstring& folder, std::wstring* why = nullptr);

}  // namespace SecureFolders
