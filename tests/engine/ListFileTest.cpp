#include <gtest/gtest.h>

#include "common/AesCipher.h"
#include "common/FileSystem.h"
#include "engine/SetupListFile.h"
#include "tests/support/TestSupport.h"

namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

TEST(AesCipherTest, MatchesAnIndependentAes128OfbImplementation)
{
    // Reference values from the openssl command line with the same key and IV.
    EXPECT_EQ(Hex(AesEncodeText("{\"installs\":[]}")), "1c0ac5239dddfc45fa05ea6d013b67");
    EXPECT_EQ(Hex(AesEncodeText("0123456789abcdefXYZ")), "57199e7eda9cab1eae4fa93539027f80f393fd");
    EXPECT_EQ(AesEncodeText(""), "");
}

TEST(AesCipherTest, OneTransformEncodesAndDecodes)
{
    std::string text;
    for (int i = 0; i < 70000; ++i)
        text += static_cast<char>(i * 7 + (i >> 8));
    const std::string encoded = AesEncodeText(text);
    ASSERT_EQ(encoded.size(), text.size());
    EXPECT_NE(encoded, text);
    EXPECT_EQ(AesEncodeText(text), encoded) << "every call starts from the same IV";
    EXPECT_EQ(AesDecodeText(encoded), text);
    EXPECT_EQ(AesEncodeText(encoded), text);
    // A prefix encodes to the prefix of the encoding: a stream, no padding.
    EXPECT_EQ(AesEncodeText(text.substr(0, 33)), encoded.substr(0, 33));

    std::string out = "stale";
    EXPECT_FALSE(AesOfbTransform(text, "short key", out));
    EXPECT_EQ(out, "");
}

TEST(ReadListFileTest, ReadsPlainListsWithOrWithoutByteOrderMark)
{
    ScratchFolder scratch;
    const std::string list = "{\"installs\": [{\"name\": \"Service\"}]}";
    FileSystem::WriteStringToFile(scratch / L"plain.ini", list);
    FileSystem::WriteStringToFile(scratch / L"bom.ini", "\xEF\xBB\xBF" + list);
    std::string text;
    EXPECT_TRUE(ReadListFile(scratch / L"plain.ini", false, text));
    EXPECT_EQ(text, list);
    EXPECT_TRUE(ReadListFile(scratch / L"bom.ini", false, text));
    EXPECT_EQ(text, list);

    EXPECT_FALSE(ReadListFile(scratch / L"missing.ini", false, text));
    EXPECT_EQ(text, "");
    FileSystem::WriteStringToFile(scratch / L"broken.ini", "{\"installs\": [");
    EXPECT_FALSE(ReadListFile(scratch / L"broken.ini", false, text));
    EXPECT_EQ(text, "{\"installs\": [");
}

TEST(ReadListFileTest, DecodesAnEncodedListAndRejectsAPlainOne)
{
    ScratchFolder scratch;
    const std::string list = "{\"installs\": [{\"name\": \"Larkspur\", \"order\": 2}]}";
    FileSystem::WriteStringToFile(scratch / L"uninst.ini", AesEncodeText(list));
    std::string text;
    EXPECT_TRUE(ReadListFile(scratch / L"uninst.ini", true, text));
    EXPECT_EQ(text, list);
    // An encoded list is no JSON without decoding...
    EXPECT_FALSE(ReadListFile(scratch / L"uninst.ini", false, text));
    // ...and a plain list run through the decoder is none either.
    FileSystem::WriteStringToFile(scratch / L"plain.ini", list);
    EXPECT_FALSE(ReadListFile(scratch / L"plain.ini", true, text));
}

TEST(ReadListFileTest, ReadsTheEmbeddedList)
{
    std::string text;
    EXPECT_TRUE(ReadEmbeddedList(::GetModuleHandleW(nullptr), text));
    EXPECT_NE(text.find("\"Larkspur\""), std::string::npos);
    EXPECT_FALSE(ReadEmbeddedList(::GetModuleHandleW(L"kernel32.dll"), text));
    EXPECT_EQ(text, "");
}

TEST(ReadListFileTest, NestingBeyondTheReadersDepthLimitIsAListThatDoesNotParse)
{
    // Past the reader's depth limit the reader throws; the list must simply not parse.
    std::string deep = "{\"installs\":" + std::string(2000, '[') + std::string(2000, ']') + "}";
    Json::Value root;
    EXPECT_FALSE(ParseListText(deep, root));
    EXPECT_TRUE(root.isNull());
    ScratchFolder scratch;
    FileSystem::WriteStringToFile(scratch / L"setup.ini", deep);
    std::string text;
    EXPECT_FALSE(ReadListFile(scratch / L"setup.ini", false, text));
    FileSystem::WriteStringToFile(scratch / L"uninst.ini", AesEncodeText(deep));
    EXPECT_FALSE(ReadListFile(scratch / L"uninst.ini", true, text));
    // Nesting the reader accepts still parses.
    EXPECT_TRUE(ParseListText("{\"installs\":" + std::string(100, '[') + std::string(100, ']') + "}", root));
}
