#include "sfx/SfxArchive.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/Handles.h"
#include "sfx/EntryPath.h"
#include "sfx/FolderStream.h"

extern "C" {
#include "7z.h"
#include "7zAlloc.h"
#include "7zCrc.h"
#include "7zFile.h"
}

namespace sfx {

namespace {

const ISzAlloc kAllocMain = {SzAlloc, SzFree};
const ISzAlloc kAllocTemp = {SzAllocTemp, SzFreeTemp};
const size_t kLookBufferSize = 1 << 16;

void EnsureCrcTable()
{
    static bool ready = [] {
        CrcGenerateTable();
        return true;
    }();
    (void)ready;
}

bool ReadAt(HANDLE file, uint64_t offset, void* data, DWORD size, DWORD& read)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN))
        return false;
    return ::ReadFile(file, data, size, &read, nullptr) != FALSE;
}

uint32_t Le32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Signature, version and a start header whose checksum matches.
bool IsStartHeader(const unsigned char* p)
{
    if (std::memcmp(p, k7zSignature, k7zSignatureSize) != 0)
        return false;
    return CrcCalc(p + 12, 20) == Le32(p + 8);
}

ExtractResult FromSRes(SRes res)
{
    switch (res) {
    case SZ_OK:
        return ExtractResult::Ok;
    case SZ_ERROR_MEM:
        return ExtractResult::OutOfMemory;
    case SZ_ERROR_NO_ARCHIVE:
        return ExtractResult::NoArchive;
    default:
        return ExtractResult::Damaged;
    }
}

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

// The stub keeps its own long-path and folder helpers: common/FileSystem would
// pull the log and shell code into every self-extracting archive.

// "\\?\" form of a local absolute path, so that deep trees work.
std::wstring LongForm(const std::wstring& path)
{
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

// Creates the folder and every missing parent.
bool CreateFolders(const std::wstring& path)
{
    std::wstring folder = path;
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    DWORD attributes = ::GetFileAttributesW(LongForm(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t cut = folder.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 2 && !CreateFolders(folder.substr(0, cut)))
        return false;
    return ::CreateDirectoryW(LongForm(folder).c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

UniqueHandle CreateOutputFile(const std::wstring& path)
{
    return UniqueHandle(::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool WriteAll(HANDLE file, const Byte* data, size_t size)
{
    while (size > 0) {
        DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        size -= chunk;
    }
    return true;
}

void SetWriteTime(HANDLE file, const CNtfsFileTime* mtime)
{
    if (mtime) {
        FILETIME time = {mtime->Low, mtime->High};
        ::SetFileTime(file, nullptr, nullptr, &time);
    }
}

// Closes a file that was not written completely and removes it, so that
// nothing is left looking like a finished file.
void Discard(UniqueHandle& file, const std::wstring& path)
{
    file.reset();
    ::DeleteFileW(LongForm(path).c_str());
}

bool WriteWholeFile(const std::wstring& path, const Byte* data, size_t size, const CNtfsFileTime* mtime)
{
    UniqueHandle file = CreateOutputFile(path);
    if (!file)
        return false;
    if (!WriteAll(file.get(), data, size)) {
        Discard(file, path);
        return false;
    }
    SetWriteTime(file.get(), mtime);
    return true;
}

const CNtfsFileTime* WriteTimeOf(const CSzArEx& db, UInt32 index)
{
    return SzBitWithVals_Check(&db.MTime, index) ? &db.MTime.Vals[index] : nullptr;
}

// One file of a folder that is decoded in pieces.
struct FolderEntry {
    std::wstring path;
    UInt64 size = 0;
    bool hasCrc = false;
    UInt32 crc = 0;
    const CNtfsFileTime* mtime = nullptr;
};

// Writes a folder's decoded bytes into its files in order, checking each
// file's CRC when it is complete. A file that fails, or that is still open
// when the writer goes away, is removed.
class FolderWriter : public ChunkSink {
public:
    explicit FolderWriter(std::vector<FolderEntry> entries) : m_entries(std::move(entries)) { }
    ~FolderWriter() override
    {
        if (m_file)
            Discard(m_file, m_entries[m_next - 1].path);
    }

    bool Write(const Byte* data, size_t size) override
    {
        while (size > 0) {
            if (!m_file && !OpenNext())
                return m_result == ExtractResult::Ok;  // bytes after the last file are not written anywhere
            size_t take = static_cast<size_t>(std::min<UInt64>(size, m_left));
            if (!WriteAll(m_file.get(), data, take))
                return Fail(ExtractResult::WriteFailed);
            m_crc = CrcUpdate(m_crc, data, take);
            m_left -= take;
            data += take;
            size -= take;
            if (m_left == 0 && !Close())
                return false;
        }
        return true;
    }

    // After the decoder has finished: every file must be complete.
    ExtractResult Finish()
    {
        if (m_result == ExtractResult::Ok && (m_file || OpenNext()))
            Fail(ExtractResult::Damaged);
        return m_result;
    }

    // Why the last Write returned false.
    ExtractResult Result() const { return m_result; }

    // Removes every file of the folder made so far: a folder that fails
    // leaves none of its files, as when it is decoded in memory (a file
    // without a CRC of its own is only vouched for by the whole folder).
    void RemoveAll()
    {
        if (m_file)
            m_file.reset();
        for (size_t i = 0; i < m_next; ++i)
            ::DeleteFileW(LongForm(m_entries[i].path).c_str());
    }

private:
    // Opens the next file that has bytes, creating empty ones on the way.
    // False when no file is left or one could not be created.
    bool OpenNext()
    {
        while (m_next < m_entries.size()) {
            const FolderEntry& entry = m_entries[m_next++];
            if (!CreateFolders(entry.path.substr(0, entry.path.find_last_of(L'\\'))))
                return Fail(ExtractResult::WriteFailed);
            m_file = CreateOutputFile(entry.path);
            if (!m_file)
                return Fail(ExtractResult::WriteFailed);
            m_left = entry.size;
            m_crc = CRC_INIT_VAL;
            if (m_left > 0)
                return true;
            if (!Close())
                return false;
        }
        return false;
    }

    bool Close()
    {
        const FolderEntry& entry = m_entries[m_next - 1];
        if (entry.hasCrc && CRC_GET_DIGEST(m_crc) != entry.crc)
            return Fail(ExtractResult::Damaged);
        SetWriteTime(m_file.get(), entry.mtime);
        m_file.reset();
        return true;
    }

    bool Fail(ExtractResult result)
    {
        if (m_file)
            Discard(m_file, m_entries[m_next - 1].path);
        m_result = result;
        return false;
    }

    std::vector<FolderEntry> m_entries;
    size_t m_next = 0;
    UniqueHandle m_file;
    UInt64 m_left = 0;
    UInt32 m_crc = CRC_INIT_VAL;
    ExtractResult m_result = ExtractResult::Ok;
};

// Owns everything the decoder allocates for one archive.
class OpenArchive {
public:
    OpenArchive()
    {
        File_Construct(&m_stream.file);
        FileInStream_CreateVTable(&m_stream);
        m_stream.wres = 0;
        LookToRead2_CreateVTable(&m_look, False);
        m_look.buf = nullptr;
        SzArEx_Init(&m_db);
    }
    ~OpenArchive()
    {
        if (m_outBuffer)
            ISzAlloc_Free(&kAllocMain, m_outBuffer);
        SzArEx_Free(&m_db, &kAllocMain);
        if (m_look.buf)
            ISzAlloc_Free(&kAllocMain, m_look.buf);
        if (m_opened)
            File_Close(&m_stream.file);
    }
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;

    ExtractResult Open(const std::wstring& path, int64_t offset)
    {
        if (InFile_OpenW(&m_stream.file, path.c_str()) != 0)
            return ExtractResult::NoArchive;
        m_opened = true;
        Int64 position = offset;
        if (File_Seek(&m_stream.file, &position, SZ_SEEK_SET) != 0)
            return ExtractResult::NoArchive;
        m_look.buf = static_cast<Byte*>(ISzAlloc_Alloc(&kAllocMain, kLookBufferSize));
        if (!m_look.buf)
            return ExtractResult::OutOfMemory;
        m_look.bufSize = kLookBufferSize;
        m_look.realStream = &m_stream.vt;
        LookToRead2_INIT(&m_look);
        return FromSRes(SzArEx_Open(&m_db, &m_look.vt, &kAllocMain, &kAllocTemp));
    }

    const CSzArEx& Db() const { return m_db; }

    // The decoded bytes of one entry, valid until the next call.
    SRes Extract(UInt32 index, const Byte*& data, size_t& size)
    {
        size_t offset = 0;
        size = 0;
        SRes res = SzArEx_Extract(&m_db, &m_look.vt, index, &m_blockIndex, &m_outBuffer, &m_outBufferSize, &offset,
                                  &size, &kAllocMain, &kAllocTemp);
        data = m_outBuffer ? m_outBuffer + offset : nullptr;
        return res;
    }

    // Decodes folder `folderIndex` in pieces into `sink`.
    SRes Stream(UInt32 folderIndex, size_t chunkSize, ChunkSink& sink)
    {
        return StreamFolder(m_db.db, folderIndex, &m_look.vt, m_db.dataPos, chunkSize, sink, &kAllocMain);
    }

private:
    CFileInStream m_stream;
    CLookToRead2 m_look;
    CSzArEx m_db;
    bool m_opened = false;
    UInt32 m_blockIndex = 0xFFFFFFFF;
    Byte* m_outBuffer = nullptr;
    size_t m_outBufferSize = 0;
};

}  // namespace

uint64_t ImageEnd(HANDLE file)
{
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!ReadAt(file, 0, &dos, sizeof(dos), read) || read != sizeof(dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        dos.e_lfanew <= 0)
        return 0;
    unsigned char head[4 + sizeof(IMAGE_FILE_HEADER)] = {};
    if (!ReadAt(file, static_cast<uint64_t>(dos.e_lfanew), head, sizeof(head), read) || read != sizeof(head) ||
        Le32(head) != IMAGE_NT_SIGNATURE)
        return 0;
    IMAGE_FILE_HEADER fileHeader;
    std::memcpy(&fileHeader, head + 4, sizeof(fileHeader));
    uint64_t sections = static_cast<uint64_t>(dos.e_lfanew) + sizeof(head) + fileHeader.SizeOfOptionalHeader;
    uint64_t end = 0;
    for (WORD i = 0; i < fileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section = {};
        if (!ReadAt(file, sections + i * sizeof(section), &section, sizeof(section), read) || read != sizeof(section))
            return 0;
        uint64_t sectionEnd = static_cast<uint64_t>(section.PointerToRawData) + section.SizeOfRawData;
        if (section.SizeOfRawData != 0 && sectionEnd > end)
            end = sectionEnd;
    }
    return end;
}

int64_t FindArchiveStart(HANDLE file, uint64_t from)
{
    EnsureCrcTable();
    const DWORD kChunk = 1 << 16;
    const DWORD kOverlap = k7zStartHeaderSize - 1;
    std::vector<unsigned char> buffer(kChunk + kOverlap);
    uint64_t position = from;
    for (;;) {
        DWORD read = 0;
        if (!ReadAt(file, position, buffer.data(), static_cast<DWORD>(buffer.size()), read) ||
            read < k7zStartHeaderSize)
            return -1;
        for (DWORD i = 0; i + k7zStartHeaderSize <= read; ++i) {
            if (buffer[i] == k7zSignature[0] && IsStartHeader(&buffer[i]))
                return static_cast<int64_t>(position + i);
        }
        if (read < buffer.size())
            return -1;
        position += kChunk;
    }
}

namespace {

// Every file of folder `folderIndex`, in the order of its bytes.
std::vector<FolderEntry> FolderEntries(const CSzArEx& db, UInt32 folderIndex, const std::vector<std::wstring>& targets)
{
    std::vector<FolderEntry> entries;
    for (UInt32 i = 0; i < db.NumFiles; ++i) {
        if (db.FileToFolder[i] != folderIndex || SzArEx_IsDir(&db, i))
            continue;
        FolderEntry entry;
        entry.path = targets[i];
        entry.size = SzArEx_GetFileSize(&db, i);
        entry.hasCrc = SzBitWithVals_Check(&db.CRCs, i);
        entry.crc = entry.hasCrc ? db.CRCs.Vals[i] : 0;
        entry.mtime = WriteTimeOf(db, i);
        entries.push_back(std::move(entry));
    }
    return entries;
}

ExtractResult StreamFolderToFiles(OpenArchive& archive, UInt32 folderIndex, const std::vector<std::wstring>& targets,
                                  size_t chunkSize)
{
    FolderWriter writer(FolderEntries(archive.Db(), folderIndex, targets));
    SRes res = archive.Stream(folderIndex, chunkSize, writer);
    ExtractResult result = res == SZ_ERROR_WRITE ? writer.Result() : res != SZ_OK ? FromSRes(res) : writer.Finish();
    if (result != ExtractResult::Ok)
        writer.RemoveAll();
    return result;
}

}  // namespace

ExtractResult ExtractArchive(const std::wstring& archivePath, int64_t offset, const std::wstring& folder,
                             const ExtractOptions& options)
{
    EnsureCrcTable();
    OpenArchive archive;
    ExtractResult opened = archive.Open(archivePath, offset);
    if (opened != ExtractResult::Ok)
        return opened;
    const CSzArEx& db = archive.Db();

    std::wstring base = folder;
    if (base.empty() || (base.back() != L'\\' && base.back() != L'/'))
        base += L'\\';

    // Every name is checked before anything is written.
    std::vector<std::wstring> targets(db.NumFiles);
    for (UInt32 i = 0; i < db.NumFiles; ++i) {
        std::wstring relative;
        if (!MakeSafeRelativePath(EntryName(db, i), relative) || !IsInsideFolder(base, base + relative))
            return ExtractResult::UnsafeName;
        targets[i] = base + relative;
    }

    // Large folders are decoded in pieces, straight into their files, the
    // first time one of their files comes up.
    std::vector<bool> streamed(db.db.NumFolders, false);
    for (UInt32 i = 0; i < db.NumFiles; ++i) {
        const std::wstring& target = targets[i];
        if (SzArEx_IsDir(&db, i)) {
            if (!CreateFolders(target))
                return ExtractResult::WriteFailed;
            continue;
        }
        UInt32 folderIndex = db.FileToFolder[i];
        if (folderIndex != static_cast<UInt32>(-1) &&
            SzAr_GetFolderUnpackSize(&db.db, folderIndex) > options.streamAbove &&
            CanStreamFolder(db.db, folderIndex)) {
            if (streamed[folderIndex])
                continue;
            streamed[folderIndex] = true;
            ExtractResult result = StreamFolderToFiles(archive, folderIndex, targets, options.chunkSize);
            if (result != ExtractResult::Ok)
                return result;
            continue;
        }
        const Byte* data = nullptr;
        size_t size = 0;
        SRes res = archive.Extract(i, data, size);
        if (res != SZ_OK)
            return FromSRes(res);
        if (!CreateFolders(target.substr(0, target.find_last_of(L'\\'))))
            return ExtractResult::WriteFailed;
        if (!WriteWholeFile(target, data, size, WriteTimeOf(db, i)))
            return ExtractResult::WriteFailed;
    }
    return ExtractResult::Ok;
}

ExtractResult ExtractAppendedArchive(const std::wstring& exePath, const std::wstring& folder)
{
    int64_t start = -1;
    {
        UniqueHandle file(::CreateFileW(exePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return ExtractResult::NoArchive;
        start = FindArchiveStart(file.get(), ImageEnd(file.get()));
    }
    if (start < 0)
        return ExtractResult::NoArchive;
    return ExtractArchive(exePath, start, folder);
}

int ExitCodeFor(ExtractResult result)
{
    return result == ExtractResult::Ok ? 0 : 2;
}

}  // namespace sfx
