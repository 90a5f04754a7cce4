#pragma once
// Keeps an elevated program started from a download or temporary folder from
// loading DLLs planted next to it: DLLs come from the system folder only.

// Uses SetDefaultDllDirectories where the system has it (Windows 8, or 7 with
// its loader update), else removes the current folder from the search.
void RestrictDllSearchToSystem();
