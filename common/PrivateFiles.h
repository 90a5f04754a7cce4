#pragma once
// Folders and programs that the elevated programs create in the user's
// temporary folder, which every unelevated program of that user can write.
// A private folder has a name nobody can guess, is created only if it did not
// exist, and carries an access list that lets the unelevated user read but
// never write, delete or change it. A program is started only from a file
// that was created new, written completely and is still held against writers.
#include <windows.h>

#include <string>

#include "common/Handles.h"

namespace PrivateFiles {

// 32 hexadecimal digits from the system's random generator; "" if it fails.
std::wstring RandomName();

// The access list of private folders (inherited by everything created in them):
// SYSTEM and the administrators in full, everybody else read and execute only;
// not inherited from the parent. Empty on failure.
UniqueLocal NewPrivateDescriptor();

// Creates `folder` with the private access list; false if anything already
// exists at that path (it is never re-used) or the creation fails.
bool CreateExclusiveFolder(const std::wstring& folder);

// parent + RandomName() + "\", created with CreateExclusiveFolder after the
// parent (created with its parents when missing); "" on failure.
std::wstring CreatePrivateFolder(const std::wstring& parent);

// Writes `bytes` to a new file (never one that exists), checks every byte
// written, then returns a read handle that keeps every writer and deleter out
// while it is open; keep it until the program has been started. An empty
// handle when the file existed or anything fell short.
UniqueHandle WritePinnedFile(const std::wstring& path, const std::string& bytes);

}  // namespace PrivateFiles
