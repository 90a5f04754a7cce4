#include "sfx/SfxArchive.h"

#include <cstring>
#include <vector>

#include "common/Handles.h"
#include "sfx/EntryPath.h"

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

bool WriteWholeFile(const std::wstring& path, const Byte* data, size_t size, const CNtfsFileTime* mtime)
{
    UniqueHandle file(::CreateFileW(LongForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    while (size > 0) {
        DWORD chunk = size > (1u << 24) ? (1u << 24) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file.get(), data, chunk, &written, nullptr) || written != chunk)
            return false;
        data += chunk;
        size -= chunk;
    }
    if (mtime) {
        FILETIME time = {mtime->Low, mtime->High};
        ::SetFileTime(file.get(), nullptr, nullptr, &time);
    }
    return true;
}

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

ExtractResult ExtractArchive(const std::wstring& archivePath, int64_t offset, const std::wstring& folder)
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

    for (UInt32 i = 0; i < db.NumFiles; ++i) {
        const std::wstring& target = targets[i];
        if (SzArEx_IsDir(&db, i)) {
            if (!CreateFolders(target))
                return ExtractResult::WriteFailed;
            continue;
        }
        const Byte* data = nullptr;
        size_t size = 0;
        SRes res = archive.Extract(i, data, size);
        if (res != SZ_OK)
            return FromSRes(res);
        if (!CreateFolders(target.substr(0, target.find_last_of(L'\\'))))
            return ExtractResult::WriteFailed;
        const CNtfsFileTime* mtime = SzBitWithVals_Check(&db.MTime, i) ? &db.MTime.Vals[i] : nullptr;
        if (!WriteWholeFile(target, data, size, mtime))
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
