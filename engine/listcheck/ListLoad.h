#pragma once
// Reading a list file for the checker exactly as the engine reads it: the
// same file read, byte-order-mark removal, cipher and JSON reader.
#include <json/json.h>

#include <string>

#include "engine/listcheck/ListFindings.h"

struct LoadedList {
    bool parsed = false;
    bool encoded = false;  // the text parsed only after decoding
    Json::Value root;
};

// Tries the plain text, then the encoded form; a text that parses in
// neither form is one error with the reader's message.
LoadedList LoadListFile(const std::wstring& path, const std::string& label, ListFindings& findings);
