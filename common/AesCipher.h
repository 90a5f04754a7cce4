#pragma once
// The cipher of the encoded uninstall list: AES-128 in output-feedback mode,
// keyed with a fixed 16-character text that is also the initialisation
// vector. No padding, no header: the output has the input's length, and the
// same transform encodes and decodes.
#include <string>

extern const char kAesKeyText[];  // "7D09E3A58B14C62F"

// The transform with a 16-byte key that is also the IV. Returns false (and
// leaves out empty) only when the cipher library fails.
bool AesOfbTransform(const std::string& input, const std::string& key16, std::string& out);

std::string AesEncodeText(const std::string& bytes);
std::string AesDecodeText(const std::string& bytes);
