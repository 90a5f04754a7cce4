#pragma once
// The self-extracting stub's work: find the 7z archive appended to an
// executable and extract it, with paths, into a folder.
#include <windows.h>

#include <cstdint>
#include <string>

namespace sfx {

enum class ExtractResult {
    Ok,
    NoArchive,    // nothing that looks like a 7z archive follows the image
    Damaged,      // headers or data fail to decode or their checksums
    UnsafeName,   // an entry would leave the folder; nothing was written
    WriteFailed,  // a folder or file could not be created or written
    OutOfMemory,
};

// Offset of the 7z signature (with a valid start header) at or after `from`
// in the file, or -1.
int64_t FindArchiveStart(HANDLE file, uint64_t from);
// Where the appended data of a PE file begins: the end of its last section.
// 0 when the file is not a PE image, so the whole file is searched.
uint64_t ImageEnd(HANDLE file);

// How folders are decoded. A folder (solid block) that unpacks to more than
// `streamAbove` bytes and whose coders allow it is decoded straight into its
// files `chunkSize` bytes at a time; smaller ones are decoded in memory.
struct ExtractOptions {
    uint64_t streamAbove = 64u << 20;
    size_t chunkSize = 1u << 20;
};

// Extracts the archive that starts at `offset` of `archivePath` into
// `folder`. Every entry name is checked before the first write; a file whose
// data fails to decode, fails its checksum or cannot be written completely is
// removed again.
ExtractResult ExtractArchive(const std::wstring& archivePath, int64_t offset, const std::wstring& folder,
                             const ExtractOptions& options = ExtractOptions());

// The archive appended to `exePath`, into `folder`.
ExtractResult ExtractAppendedArchive(const std::wstring& exePath, const std::wstring& folder);

// Exit code of the stub for a result: 0 for success, 2 for any failure.
int ExitCodeFor(ExtractResult result);

}  // namespace sfx
