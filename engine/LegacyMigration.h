#pragma once
// Migration from the legacy product: its user data and configuration are
// copied to a shared folder with an index file, and its uninstaller is
// started silently. Only runs started "from" the legacy updater migrate.

extern const wchar_t kLegacyUninstallKey[];

// Copies, index file and the silent legacy uninstall, when m_wstrFrom is
// "v3update" or "v3onlineinstaller".
void SilentUninstallV3();
// The copies and the index file.
void CopyV3Configure();
