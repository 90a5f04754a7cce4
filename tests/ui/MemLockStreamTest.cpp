// The memory stream that GDI+ decodes the shadow picture from, and the
// premultiplied pixels it yields.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/velui_framework/MemLockStream.h"
#include "framework/velui_framework/ShadowImage.h"

namespace {

LARGE_INTEGER Offset(LONGLONG v)
{
    LARGE_INTEGER li;
    li.QuadPart = v;
    return li;
}

}  // namespace

TEST(MemLockStream, ReadsCountShortReadsAndTheEnd)
{
    const BYTE bytes[5] = {1, 2, 3, 4, 5};
    CMemLockStream* stream = CMemLockStream::Create(bytes, 5);
    BYTE buffer[8] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(nullptr, 1, &read), E_INVALIDARG);
    EXPECT_EQ(stream->Read(buffer, 3, &read), S_OK);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);  // only two were left
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(stream->Read(buffer, 1, &read), E_FAIL);
    ULARGE_INTEGER pos {};
    EXPECT_EQ(stream->Seek(Offset(0), STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 5u);
    EXPECT_EQ(stream->Read(buffer, 1, &read), E_FAIL);
    EXPECT_EQ(stream->Seek(Offset(-2), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 3u);
    EXPECT_EQ(stream->Seek(Offset(-10), STREAM_SEEK_CUR, &pos), S_OK);  // before the start: unchanged
    EXPECT_EQ(pos.QuadPart, 3u);
    EXPECT_EQ(stream->Seek(Offset(1), STREAM_SEEK_SET, &pos), S_OK);
    EXPECT_EQ(stream->Read(buffer, 1, &read), S_OK);
    EXPECT_EQ(buffer[0], 2);
    EXPECT_EQ(stream->Seek(Offset(0), 7, &pos), STG_E_SEEKERROR);
    STATSTG stat;
    memset(&stat, 0xCC, sizeof(stat));
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.cbSize.QuadPart, 5u);
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(stream->Write(bytes, 1, nullptr), E_NOTIMPL);
    EXPECT_EQ(stream->Release(), 0u);
}

TEST(MemLockStream, EmptyOrMissingDataFailsAndInterfacesAreCounted)
{
    CMemLockStream* none = CMemLockStream::Create(nullptr, 0);
    BYTE buffer[1];
    ULONG read = 0;
    ULARGE_INTEGER pos {};
    EXPECT_EQ(none->Read(buffer, 1, &read), E_ACCESSDENIED);
    EXPECT_EQ(none->Seek(Offset(0), STREAM_SEEK_SET, &pos), E_FAIL);
    const BYTE one = 7;
    CMemLockStream* empty = CMemLockStream::Create(&one, 0);
    EXPECT_EQ(empty->Read(buffer, 1, &read), E_FAIL);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(empty->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(empty->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(empty->Release(), 0u);
    EXPECT_EQ(none->Release(), 0u);
}

TEST(ShadowImage, ChannelsArePremultipliedAndRoundedDown)
{
    uint32_t pixels[3] = {0x80FF8040u, 0x00FFFFFFu, 0xFF123456u};
    velui::Premultiply(pixels, 3);
    EXPECT_EQ(pixels[0], 0x80804020u);  // 255*128/255=128, 128*128/255=64, 64*128/255=32
    EXPECT_EQ(pixels[1], 0x00000000u);
    EXPECT_EQ(pixels[2], 0xFF123456u);
}

TEST(ShadowImage, AMissingResourceFailsAndGarbageDecodesToNothing)
{
    velui::PremultipliedImage image;
    EXPECT_EQ(velui::LoadShadowImage(image, L"PNG", 9104), E_FAIL);
    const BYTE garbage[16] = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    EXPECT_EQ(velui::DecodePremultipliedPng(garbage, sizeof(garbage), image), S_OK);
    EXPECT_FALSE(image.loaded);
}

TEST(ShadowImage, TheShadowPictureDecodesPremultiplied)
{
    velui::PremultipliedImage image;
    ASSERT_EQ(velui::LoadShadowImage(image), S_OK);
    ASSERT_TRUE(image.loaded);
    EXPECT_EQ(image.width, 48);
    EXPECT_EQ(image.height, 48);
    uint32_t darkest = 0;
    for (uint32_t p : image.pixels) {
        const uint32_t a = p >> 24;
        EXPECT_LE((p >> 16) & 0xFF, a);  // premultiplied: no channel above alpha
        darkest = std::max(darkest, a);
    }
    EXPECT_GT(darkest, 100u);
    EXPECT_LT(image.pixels[0] >> 24, 8u);  // the outer corner fades out
}
