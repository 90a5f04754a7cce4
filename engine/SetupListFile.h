#pragma once
// Reading a setup list's text from a file or from the engine's resources.
#include <windows.h>

#include <json/json.h>

#include <string>

// Resource holding the embedded uninstall list.
constexpr int kEmbeddedListType = 100;
constexpr int kEmbeddedListName = 180;

// Whole file as bytes ("" when unreadable), without a leading UTF-8 BOM,
// decoded with the list cipher when decode is set. True when the text parses
// as JSON.
bool ReadListFile(const std::wstring& path, bool decode, std::string& text);
// The same for the embedded uninstall list of module, without decoding.
bool ReadEmbeddedList(HMODULE module, std::string& text);
// Whether text parses as JSON (comments allowed, not collected); the
// reader's messages go to errors when given.
bool ParseListText(const std::string& text, Json::Value& root, std::string* errors = nullptr);
