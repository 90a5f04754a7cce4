#pragma once
// An elevated program started from the temporary folder must not load DLLs
// planted next to it: limit the search to the system folder.
void RestrictDllSearchPath();
