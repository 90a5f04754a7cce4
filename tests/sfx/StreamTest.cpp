// Folders decoded in pieces: the same files as the in-memory decoding, each
// file's checksum checked, damaged or short data refused, and no piece larger
// than the chunk the caller asked for.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "common/Handles.h"
#include "sfx/FolderStream.h"
#include "sfx/SfxArchive.h"
#include "tests/support/TestSupport.h"

extern "C" {
#include "7zAlloc.h"
#include "7zCrc.h"
}

namespace {

const ISzAlloc kAllocMain = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};

std::wstring Archive(const std::wstring& name)
{
    return TestExeDirectory() + L"archives\\" + name + L".exe";
}

int64_t ArchiveStart(const std::wstring& path)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    return file ? sfx::FindArchiveStart(file.get(), sfx::ImageEnd(file.get())) : -1;
}

// Streams every folder, whatever its size, in pieces of an odd size so that
// pieces end in the middle of files.
sfx::ExtractOptions Streaming(size_t chunk = 1000)
{
    sfx::ExtractOptions options;
    options.streamAbove = 0;
    options.chunkSize = chunk;
    return options;
}

sfx::ExtractResult Extract(const std::wstring& name, const std::wstring& folder, const sfx::ExtractOptions& options)
{
    std::wstring path = Archive(name);
    return sfx::ExtractArchive(path, ArchiveStart(path), folder, options);
}

// Relative name -> content of every file under `folder` ("" for folders).
std::map<std::wstring, std::string> Contents(const std::wstring& folder)
{
    std::map<std::wstring, std::string> contents;
    for (const std::wstring& entry : ListFolderTree(folder))
        contents[entry] = entry.back() == L'\\' ? std::string() : FileSystem::ReadFileToString(folder + entry, true);
    return contents;
}

// The archive's bytes in memory, readable only up to `limit`, as an archive
// cut short there would be.
struct MemoryStream {
    ISeekInStream vt;
    const std::string* data;
    size_t limit;
    size_t position;
};

SRes MemoryRead(ISeekInStreamPtr p, void* buffer, size_t* size)
{
    auto* s = reinterpret_cast<MemoryStream*>(const_cast<ISeekInStream*>(p));
    size_t n = s->position < s->limit ? std::min(*size, s->limit - s->position) : 0;
    std::memcpy(buffer, s->data->data() + s->position, n);
    s->position += n;
    *size = n;
    return SZ_OK;
}

SRes MemorySeek(ISeekInStreamPtr p, Int64* pos, ESzSeek origin)
{
    auto* s = reinterpret_cast<MemoryStream*>(const_cast<ISeekInStream*>(p));
    Int64 base = origin == SZ_SEEK_SET ? 0 : origin == SZ_SEEK_CUR ? Int64(s->position) : Int64(s->data->size());
    if (base + *pos < 0 || base + *pos > Int64(s->data->size()))
        return SZ_ERROR_READ;
    s->position = static_cast<size_t>(base + *pos);
    *pos = base + *pos;
    return SZ_OK;
}

// A look-ahead reader over a MemoryStream.
struct LookStream {
    MemoryStream memory;
    CLookToRead2 look;
    std::vector<Byte> buffer = std::vector<Byte>(1 << 16);
    LookStream(const std::string& data, size_t limit) : memory {{MemoryRead, MemorySeek}, &data, limit, 0}
    {
        LookToRead2_CreateVTable(&look, False);
        look.buf = buffer.data();
        look.bufSize = buffer.size();
        look.realStream = &memory.vt;
        LookToRead2_INIT(&look);
    }
};

// One archive opened from memory.
struct OpenedArchive {
    std::string data;
    LookStream stream;
    CSzArEx db;
    SRes opened;
    explicit OpenedArchive(const std::wstring& name)
        : data(FileSystem::ReadFileToString(Archive(name), true).substr(ArchiveStart(Archive(name)))),
          stream(data, data.size())
    {
        CrcGenerateTable();
        SzArEx_Init(&db);
        opened = SzArEx_Open(&db, &stream.look.vt, &kAllocMain, &kAllocTemp);
    }
    ~OpenedArchive() { SzArEx_Free(&db, &kAllocMain); }
    UInt64 PackStart(UInt32 folder) const
    {
        return db.dataPos + db.db.PackPositions[db.db.FoStartPackStreamIndex[folder]];
    }
};

// Keeps what it is given, refuses once `refuseAfter` bytes have come.
class CollectingSink : public sfx::ChunkSink {
public:
    explicit CollectingSink(size_t refuseAfter = SIZE_MAX) : m_refuseAfter(refuseAfter) { }
    bool Write(const Byte* data, size_t size) override
    {
        ++calls;
        largest = std::max(largest, size);
        bytes.append(reinterpret_cast<const char*>(data), size);
        return bytes.size() < m_refuseAfter;
    }
    std::string bytes;
    size_t largest = 0;
    int calls = 0;

private:
    size_t m_refuseAfter;
};

}  // namespace

TEST(SfxStream, StreamedFoldersGiveTheSameFilesAsDecodingInMemory)
{
    for (const wchar_t* name : {L"streamlzma2", L"streamlzma", L"streamstored", L"filtered", L"nested"}) {
        ScratchFolder inMemory, streamed, tiny;
        ASSERT_EQ(Extract(name, inMemory.Path(), sfx::ExtractOptions()), sfx::ExtractResult::Ok) << NarrowAscii(name);
        ASSERT_EQ(Extract(name, streamed.Path(), Streaming()), sfx::ExtractResult::Ok) << NarrowAscii(name);
        ASSERT_EQ(Extract(name, tiny.Path(), Streaming(1)), sfx::ExtractResult::Ok) << NarrowAscii(name);
        auto expected = Contents(inMemory.Path());
        EXPECT_GE(expected.size(), 2u) << NarrowAscii(name);
        EXPECT_EQ(Contents(streamed.Path()), expected) << NarrowAscii(name);
        EXPECT_EQ(Contents(tiny.Path()), expected) << NarrowAscii(name);
    }
    ScratchFolder box;
    ASSERT_EQ(Extract(L"streamlzma2", box.Path(), Streaming()), sfx::ExtractResult::Ok);
    std::string mixed = FileSystem::ReadFileToString(box / L"mixed.dat", true);
    EXPECT_EQ(mixed.size(), 60000u + 300000u + 60000u + 4u);
    EXPECT_EQ(mixed.substr(mixed.size() - 4), "tail");
    EXPECT_EQ(FileSystem::ReadFileToString(box / L"sub\\empty.txt", true), "");
    EXPECT_EQ(FileSystem::ReadFileToString(box / L"sub\\inner\\third.txt", true).size(), 40000u);
}

TEST(SfxStream, DecodesInPiecesNoLargerThanTheChunk)
{
    for (const wchar_t* name : {L"streamlzma2", L"streamlzma", L"streamstored"}) {
        OpenedArchive archive(name);
        ASSERT_EQ(archive.opened, SZ_OK) << NarrowAscii(name);
        ASSERT_TRUE(sfx::CanStreamFolder(archive.db.db, 0)) << NarrowAscii(name);
        CollectingSink sink;
        EXPECT_EQ(
            sfx::StreamFolder(archive.db.db, 0, &archive.stream.look.vt, archive.db.dataPos, 4096, sink, &kAllocMain),
            SZ_OK)
            << NarrowAscii(name);
        EXPECT_EQ(sink.bytes.size(), SzAr_GetFolderUnpackSize(&archive.db.db, 0)) << NarrowAscii(name);
        EXPECT_LE(sink.largest, 4096u) << NarrowAscii(name);
        EXPECT_GT(sink.calls, 2) << NarrowAscii(name);
    }
}

TEST(SfxStream, FilteredFolderIsNotStreamedButStillExtracted)
{
    OpenedArchive archive(L"filtered");
    ASSERT_EQ(archive.opened, SZ_OK);
    bool anyFiltered = false;
    for (UInt32 f = 0; f < archive.db.db.NumFolders; ++f) {
        if (sfx::CanStreamFolder(archive.db.db, f))
            continue;
        anyFiltered = true;
        CollectingSink sink;
        EXPECT_EQ(
            sfx::StreamFolder(archive.db.db, f, &archive.stream.look.vt, archive.db.dataPos, 4096, sink, &kAllocMain),
            SZ_ERROR_UNSUPPORTED);
        EXPECT_EQ(sink.calls, 0);
    }
    EXPECT_TRUE(anyFiltered);
}

TEST(SfxStream, PackedDataCutShortOrDamagedIsAnError)
{
    for (const wchar_t* name : {L"streamlzma2", L"streamlzma", L"streamstored"}) {
        OpenedArchive archive(name);
        ASSERT_EQ(archive.opened, SZ_OK) << NarrowAscii(name);
        UInt64 packSize = archive.db.db.PackPositions[1] - archive.db.db.PackPositions[0];

        LookStream cut(archive.data, static_cast<size_t>(archive.PackStart(0) + packSize / 2));
        CollectingSink sink;
        SRes res = sfx::StreamFolder(archive.db.db, 0, &cut.look.vt, archive.db.dataPos, 4096, sink, &kAllocMain);
        EXPECT_EQ(res, SZ_ERROR_INPUT_EOF) << NarrowAscii(name);
        EXPECT_LT(sink.bytes.size(), SzAr_GetFolderUnpackSize(&archive.db.db, 0)) << NarrowAscii(name);

        // Stored data decodes whatever it holds; the files' checksums catch
        // damage there (ChecksumMismatchFailsAndLeavesNoDamagedFile).
        if (std::wstring(name) == L"streamstored")
            continue;
        std::string damaged = archive.data;
        damaged[static_cast<size_t>(archive.PackStart(0) + packSize / 3)] ^= 0x55;
        LookStream bad(damaged, damaged.size());
        CollectingSink badSink;
        res = sfx::StreamFolder(archive.db.db, 0, &bad.look.vt, archive.db.dataPos, 4096, badSink, &kAllocMain);
        EXPECT_TRUE(res == SZ_ERROR_DATA || res == SZ_ERROR_CRC) << NarrowAscii(name) << " " << res;
    }
}

TEST(SfxStream, RefusingSinkStopsTheDecoding)
{
    OpenedArchive archive(L"streamlzma2");
    ASSERT_EQ(archive.opened, SZ_OK);
    CollectingSink sink(10000);
    EXPECT_EQ(sfx::StreamFolder(archive.db.db, 0, &archive.stream.look.vt, archive.db.dataPos, 4096, sink, &kAllocMain),
              SZ_ERROR_WRITE);
    EXPECT_EQ(sink.bytes.size(), 3u * 4096u);
}

TEST(SfxStream, ChecksumMismatchFailsAndLeavesNoDamagedFile)
{
    for (const sfx::ExtractOptions& options : {sfx::ExtractOptions(), Streaming()}) {
        ScratchFolder box;
        EXPECT_EQ(Extract(L"storedbad", box.Path(), options), sfx::ExtractResult::Damaged);
        EXPECT_FALSE(FileSystem::PathExists((box / L"sub\\inner\\third.txt").c_str()));
    }
    ScratchFolder box;
    // The stub's exit code for it.
    EXPECT_EQ(sfx::ExitCodeFor(Extract(L"storedbad", box.Path(), Streaming())), 2);
}

TEST(SfxStream, FolderThatFailsLateLeavesNoneOfItsFiles)
{
    OpenedArchive archive(L"streamlzma2");
    ASSERT_EQ(archive.opened, SZ_OK);
    ASSERT_EQ(archive.db.db.NumFolders, 1u);
    UInt64 packSize = archive.db.db.PackPositions[1] - archive.db.db.PackPositions[0];
    std::string damaged = archive.data;
    damaged[static_cast<size_t>(archive.PackStart(0) + packSize * 9 / 10)] ^= 0x55;
    ScratchFolder box;
    std::wstring path = box / L"damaged.7z";
    FileSystem::WriteStringToFile(path, damaged);
    std::wstring work = box / L"work\\";
    FileSystem::CreateDirectoryTree(work);

    CollectingSink sink;  // the early files do come out before the damage shows
    LookStream bad(damaged, damaged.size());
    EXPECT_NE(sfx::StreamFolder(archive.db.db, 0, &bad.look.vt, archive.db.dataPos, 1000, sink, &kAllocMain), SZ_OK);
    EXPECT_GT(sink.bytes.size(), 420004u);

    EXPECT_EQ(sfx::ExtractArchive(path, 0, work, Streaming()), sfx::ExtractResult::Damaged);
    for (const wchar_t* name : {L"mixed.dat", L"sub\\second.txt", L"sub\\inner\\third.txt"})
        EXPECT_FALSE(FileSystem::PathExists((work + name).c_str())) << NarrowAscii(name);
}

TEST(SfxStream, HostileNamesAreRefusedBeforeStreaming)
{
    for (const wchar_t* name : {L"parent", L"mixed", L"absolute", L"deepparent"}) {
        ScratchFolder box;
        std::wstring work = box / L"work\\";
        FileSystem::CreateDirectoryTree(work);
        EXPECT_EQ(Extract(name, work, Streaming()), sfx::ExtractResult::UnsafeName) << NarrowAscii(name);
        EXPECT_EQ(ListFolderTree(box.Path()).size(), 1u) << NarrowAscii(name);
    }
}

TEST(SfxStream, FileThatCannotBeCreatedFailsTheExtraction)
{
    ScratchFolder box;
    // A folder where the archive has a file.
    FileSystem::CreateDirectoryTree(box / L"sub\\second.txt");
    EXPECT_EQ(Extract(L"streamlzma2", box.Path(), Streaming()), sfx::ExtractResult::WriteFailed);
    EXPECT_EQ(sfx::ExitCodeFor(sfx::ExtractResult::WriteFailed), 2);
}
