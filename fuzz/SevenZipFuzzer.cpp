// The stub's archive reading on any bytes: the decoder's headers and data,
// then the check of every entry name, as the stub does before writing.
// Accepted names must stay inside the folder. Folders that can be decoded in
// pieces are decoded that way too: never a piece over the chunk size, never
// more bytes than the folder claims.
#include <cstring>
#include <string>
#include <vector>

#include "FuzzText.h"
#include "sfx/EntryPath.h"
#include "sfx/FolderStream.h"

extern "C" {
#include "7z.h"
#include "7zAlloc.h"
#include "7zCrc.h"
}

namespace {

const ISzAlloc kAllocMain = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};
constexpr size_t kUnpackLimit = 64u << 20;  // larger entries are skipped, not decoded

struct MemoryStream {
    ISeekInStream vt;
    const Byte* data;
    size_t size;
    size_t position;
};

SRes MemoryRead(const ISeekInStream* p, void* buffer, size_t* size)
{
    auto* s = reinterpret_cast<MemoryStream*>(const_cast<ISeekInStream*>(p));
    size_t n = std::min(*size, s->size - s->position);
    std::memcpy(buffer, s->data + s->position, n);
    s->position += n;
    *size = n;
    return SZ_OK;
}

SRes MemorySeek(const ISeekInStream* p, Int64* pos, ESzSeek origin)
{
    auto* s = reinterpret_cast<MemoryStream*>(const_cast<ISeekInStream*>(p));
    Int64 base = origin == SZ_SEEK_SET   ? 0
                 : origin == SZ_SEEK_CUR ? static_cast<Int64>(s->position)
                                         : static_cast<Int64>(s->size);
    Int64 target = base + *pos;
    if (target < 0 || target > static_cast<Int64>(s->size))
        return SZ_ERROR_READ;
    s->position = static_cast<size_t>(target);
    *pos = target;
    return SZ_OK;
}

// Counts what the streamed decoding hands on; stops at the unpack limit.
class CountingSink : public sfx::ChunkSink {
public:
    explicit CountingSink(size_t chunk) : m_chunk(chunk) { }
    bool Write(const Byte*, size_t size) override
    {
        FUZZ_CHECK(size > 0 && size <= m_chunk);
        total += size;
        return total < kUnpackLimit;
    }
    UInt64 total = 0;

private:
    size_t m_chunk;
};

std::wstring EntryName(const CSzArEx& db, UInt32 index)
{
    size_t length = SzArEx_GetFileNameUtf16(&db, index, nullptr);
    std::vector<UInt16> buffer(length + 1, 0);
    SzArEx_GetFileNameUtf16(&db, index, buffer.data());
    std::wstring name;
    for (size_t i = 0; i < length && buffer[i] != 0; ++i)
        name += static_cast<wchar_t>(buffer[i]);
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool crc = (CrcGenerateTable(), true);
    (void)crc;
    MemoryStream stream = {{MemoryRead, MemorySeek}, data, size, 0};
    CLookToRead2 look;
    LookToRead2_CreateVTable(&look, False);
    std::vector<Byte> lookBuffer(1 << 16);
    look.buf = lookBuffer.data();
    look.bufSize = lookBuffer.size();
    look.realStream = &stream.vt;
    LookToRead2_INIT(&look);
    CSzArEx db;
    SzArEx_Init(&db);
    if (SzArEx_Open(&db, &look.vt, &kAllocMain, &kAllocTemp) == SZ_OK) {
        for (UInt32 i = 0; i < db.NumFiles; ++i) {
            std::wstring relative;
            if (sfx::MakeSafeRelativePath(EntryName(db, i), relative))
                FUZZ_CHECK(sfx::IsInsideFolder(L"C:\\dest\\", L"C:\\dest\\" + relative));
        }
        UInt32 blockIndex = 0xFFFFFFFF;
        Byte* out = nullptr;
        size_t outSize = 0;
        for (UInt32 i = 0; i < db.NumFiles; ++i) {
            if (SzArEx_IsDir(&db, i) || SzArEx_GetFileSize(&db, i) > kUnpackLimit)
                continue;
            UInt32 folder = db.FileToFolder[i];
            if (folder != static_cast<UInt32>(-1) && SzAr_GetFolderUnpackSize(&db.db, folder) > kUnpackLimit)
                continue;
            size_t offset = 0, processed = 0;
            if (SzArEx_Extract(&db, &look.vt, i, &blockIndex, &out, &outSize, &offset, &processed, &kAllocMain,
                               &kAllocTemp) != SZ_OK)
                break;
            FUZZ_CHECK(offset + processed <= outSize);
        }
        ISzAlloc_Free(&kAllocMain, out);
        for (UInt32 f = 0; f < db.db.NumFolders; ++f) {
            if (!sfx::CanStreamFolder(db.db, f) || SzAr_GetFolderUnpackSize(&db.db, f) > kUnpackLimit)
                continue;
            CountingSink sink(4096);
            SRes res = sfx::StreamFolder(db.db, f, &look.vt, db.dataPos, 4096, sink, &kAllocMain);
            FUZZ_CHECK(sink.total <= SzAr_GetFolderUnpackSize(&db.db, f));
            if (res == SZ_OK)
                FUZZ_CHECK(sink.total == SzAr_GetFolderUnpackSize(&db.db, f));
        }
    }
    SzArEx_Free(&db, &kAllocMain);
    return 0;
}
