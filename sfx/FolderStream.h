#pragma once
// Decoding one folder (solid block) of a 7z archive in bounded pieces: the
// decoded bytes go to a sink a chunk at a time, so a file of any size is
// unpacked with the decoder's dictionary and one chunk of memory.
#include <cstddef>
#include <cstdint>

extern "C" {
#include "7z.h"
}

namespace sfx {

// Receives a folder's decoded bytes in order. False stops the decoding.
class ChunkSink {
public:
    virtual ~ChunkSink() = default;
    virtual bool Write(const Byte* data, size_t size) = 0;
};

// Whether the folder's coder chain can be decoded in pieces: one coder, LZMA,
// LZMA2 or stored.
bool CanStreamFolder(const CSzAr& ar, UInt32 folderIndex);

// Decodes folder `folderIndex` of `ar`, whose packed streams start at
// `dataPos` of `stream`, handing the bytes to `sink` in pieces of at most
// `chunkSize` bytes. Checks the folder's CRC when the archive stores one.
// SZ_ERROR_WRITE when the sink refused, SZ_ERROR_INPUT_EOF when the packed
// data ends early, SZ_ERROR_DATA / SZ_ERROR_CRC for damaged data,
// SZ_ERROR_UNSUPPORTED when CanStreamFolder is false.
SRes StreamFolder(const CSzAr& ar, UInt32 folderIndex, ILookInStreamPtr stream, UInt64 dataPos, size_t chunkSize,
                  ChunkSink& sink, ISzAllocPtr alloc);

}  // namespace sfx
