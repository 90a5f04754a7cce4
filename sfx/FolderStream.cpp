#include "sfx/FolderStream.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include "7zCrc.h"
#include "Lzma2Dec.h"
#include "LzmaDec.h"
}

namespace sfx {

namespace {

const UInt32 kMethodCopy = 0;
const UInt32 kMethodLzma2 = 0x21;
const UInt32 kMethodLzma = 0x30101;
const size_t kLookAhead = 1 << 18;

bool ParseFolder(const CSzAr& ar, UInt32 folderIndex, CSzFolder& folder, const Byte*& coderData)
{
    if (folderIndex >= ar.NumFolders)
        return false;
    coderData = ar.CodersData + ar.FoCodersOffsets[folderIndex];
    CSzData sd = {coderData, ar.FoCodersOffsets[folderIndex + 1] - ar.FoCodersOffsets[folderIndex]};
    return SzGetNextFolderItem(&folder, &sd) == SZ_OK;
}

// Passes the bytes on and keeps the running CRC of the whole folder.
class CheckedSink {
public:
    explicit CheckedSink(ChunkSink& sink) : m_sink(sink) { }
    bool Write(const Byte* data, size_t size)
    {
        m_crc = CrcUpdate(m_crc, data, size);
        return m_sink.Write(data, size);
    }
    UInt32 Crc() const { return CRC_GET_DIGEST(m_crc); }

private:
    ChunkSink& m_sink;
    UInt32 m_crc = CRC_INIT_VAL;
};

SRes CopyStored(ILookInStreamPtr stream, UInt64 packSize, UInt64 unpackSize, size_t chunkSize, CheckedSink& sink)
{
    if (packSize != unpackSize)
        return SZ_ERROR_DATA;
    while (packSize > 0) {
        const void* in = nullptr;
        size_t size = static_cast<size_t>(std::min<UInt64>(packSize, chunkSize));
        SRes res = ILookInStream_Look(stream, &in, &size);
        if (res != SZ_OK)
            return res;
        if (size == 0)
            return SZ_ERROR_INPUT_EOF;
        if (!sink.Write(static_cast<const Byte*>(in), size))
            return SZ_ERROR_WRITE;
        packSize -= size;
        res = ILookInStream_Skip(stream, size);
        if (res != SZ_OK)
            return res;
    }
    return SZ_OK;
}

// The dictionary size an LZMA2 property byte stands for (40 is the largest).
UInt64 Lzma2DictionarySize(Byte prop)
{
    return prop == 40 ? 0xFFFFFFFFull : static_cast<UInt64>(2 | (prop & 1)) << (prop / 2 + 11);
}

// The decoder state of one LZMA or LZMA2 stream, freed on every path.
class Decoder {
public:
    Decoder(bool lzma2, ISzAllocPtr alloc) : m_lzma2(lzma2), m_alloc(alloc)
    {
        LzmaDec_CONSTRUCT(&m_lzma);
        Lzma2Dec_CONSTRUCT(&m_lzma2Dec);
    }
    ~Decoder()
    {
        LzmaDec_Free(&m_lzma, m_alloc);
        Lzma2Dec_Free(&m_lzma2Dec, m_alloc);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // No distance can reach further back than the bytes decoded so far, so
    // the dictionary never needs to be larger than the folder's output: a
    // small folder does not allocate the archive's full dictionary.
    SRes Init(const Byte* props, unsigned propsSize, UInt64 unpackSize)
    {
        if (m_lzma2) {
            if (propsSize != 1 || props[0] > 40)
                return SZ_ERROR_UNSUPPORTED;
            Byte prop = props[0];
            while (prop > 0 && Lzma2DictionarySize(prop - 1) >= unpackSize)
                --prop;
            SRes res = Lzma2Dec_Allocate(&m_lzma2Dec, prop, m_alloc);
            if (res == SZ_OK)
                Lzma2Dec_Init(&m_lzma2Dec);
            return res;
        }
        if (propsSize != LZMA_PROPS_SIZE)
            return SZ_ERROR_UNSUPPORTED;
        Byte clamped[LZMA_PROPS_SIZE];
        std::memcpy(clamped, props, LZMA_PROPS_SIZE);
        UInt32 dictionary =
            clamped[1] | (clamped[2] << 8) | (clamped[3] << 16) | (static_cast<UInt32>(clamped[4]) << 24);
        if (dictionary > unpackSize) {
            dictionary = static_cast<UInt32>(std::max<UInt64>(unpackSize, 1 << 12));
            for (int i = 0; i < 4; ++i)
                clamped[1 + i] = static_cast<Byte>(dictionary >> (8 * i));
        }
        SRes res = LzmaDec_Allocate(&m_lzma, clamped, LZMA_PROPS_SIZE, m_alloc);
        if (res == SZ_OK)
            LzmaDec_Init(&m_lzma);
        return res;
    }

    SRes Decode(Byte* out, SizeT* outSize, const Byte* in, SizeT* inSize, ELzmaFinishMode mode, ELzmaStatus* status)
    {
        return m_lzma2 ? Lzma2Dec_DecodeToBuf(&m_lzma2Dec, out, outSize, in, inSize, mode, status)
                       : LzmaDec_DecodeToBuf(&m_lzma, out, outSize, in, inSize, mode, status);
    }

    // LZMA in 7z may end at the known size without an end mark; LZMA2
    // always ends with its end byte.
    bool MayEndWithoutMark() const { return !m_lzma2; }

private:
    bool m_lzma2;
    ISzAllocPtr m_alloc;
    CLzmaDec m_lzma;
    CLzma2Dec m_lzma2Dec;
};

SRes DecodeLz(Decoder& decoder, ILookInStreamPtr stream, UInt64 packSize, UInt64 unpackSize, size_t chunkSize,
              CheckedSink& sink)
{
    std::vector<Byte> out(chunkSize);
    for (;;) {
        // The decoder may still have output when the input is used up; it is
        // then given an empty piece of input, never a null pointer.
        static const Byte kNoInput = 0;
        const void* in = &kNoInput;
        size_t lookahead = 0;
        if (packSize > 0) {
            lookahead = static_cast<size_t>(std::min<UInt64>(packSize, kLookAhead));
            SRes res = ILookInStream_Look(stream, &in, &lookahead);
            if (res != SZ_OK)
                return res;
        }
        SizeT outSize = static_cast<SizeT>(std::min<UInt64>(unpackSize, chunkSize));
        SizeT inProcessed = lookahead;
        ELzmaFinishMode mode = outSize == unpackSize ? LZMA_FINISH_END : LZMA_FINISH_ANY;
        ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
        SRes res = decoder.Decode(out.data(), &outSize, static_cast<const Byte*>(in), &inProcessed, mode, &status);
        if (res != SZ_OK)
            return res;
        packSize -= inProcessed;
        unpackSize -= outSize;
        if (inProcessed > 0) {
            res = ILookInStream_Skip(stream, inProcessed);
            if (res != SZ_OK)
                return res;
        }
        if (outSize > 0 && !sink.Write(out.data(), outSize))
            return SZ_ERROR_WRITE;
        if (status == LZMA_STATUS_FINISHED_WITH_MARK)
            return unpackSize == 0 && packSize == 0 ? SZ_OK : SZ_ERROR_DATA;
        if (unpackSize == 0 && packSize == 0 && decoder.MayEndWithoutMark() &&
            status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK)
            return SZ_OK;
        if (inProcessed == 0 && outSize == 0)
            return packSize > 0 && lookahead == 0 ? SZ_ERROR_INPUT_EOF : SZ_ERROR_DATA;
    }
}

}  // namespace

bool CanStreamFolder(const CSzAr& ar, UInt32 folderIndex)
{
    CSzFolder folder;
    const Byte* coderData = nullptr;
    if (!ParseFolder(ar, folderIndex, folder, coderData))
        return false;
    if (folder.NumCoders != 1 || folder.NumPackStreams != 1 || folder.NumBonds != 0 || folder.PackStreams[0] != 0 ||
        folder.Coders[0].NumStreams != 1)
        return false;
    UInt32 method = folder.Coders[0].MethodID;
    return method == kMethodCopy || method == kMethodLzma || method == kMethodLzma2;
}

SRes StreamFolder(const CSzAr& ar, UInt32 folderIndex, ILookInStreamPtr stream, UInt64 dataPos, size_t chunkSize,
                  ChunkSink& sink, ISzAllocPtr alloc)
{
    if (!CanStreamFolder(ar, folderIndex) || chunkSize == 0)
        return SZ_ERROR_UNSUPPORTED;
    CSzFolder folder;
    const Byte* coderData = nullptr;
    ParseFolder(ar, folderIndex, folder, coderData);
    const CSzCoderInfo& coder = folder.Coders[0];

    UInt32 packIndex = ar.FoStartPackStreamIndex[folderIndex];
    UInt64 packStart = ar.PackPositions[packIndex];
    UInt64 packSize = ar.PackPositions[packIndex + 1] - packStart;
    UInt64 unpackSize = SzAr_GetFolderUnpackSize(&ar, folderIndex);
    SRes res = LookInStream_SeekTo(stream, dataPos + packStart);
    if (res != SZ_OK)
        return res;

    CheckedSink checked(sink);
    if (coder.MethodID == kMethodCopy) {
        res = CopyStored(stream, packSize, unpackSize, chunkSize, checked);
    } else {
        Decoder decoder(coder.MethodID == kMethodLzma2, alloc);
        res = decoder.Init(coderData + coder.PropsOffset, coder.PropsSize, unpackSize);
        if (res == SZ_OK)
            res = DecodeLz(decoder, stream, packSize, unpackSize, chunkSize, checked);
    }
    if (res != SZ_OK)
        return res;
    if (SzBitWithVals_Check(&ar.FolderCRCs, folderIndex) && ar.FolderCRCs.Vals[folderIndex] != checked.Crc())
        return SZ_ERROR_CRC;
    return SZ_OK;
}

}  // namespace sfx
