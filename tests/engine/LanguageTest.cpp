#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "engine/InstallEngine.h"
#include "tests/support/TestSupport.h"

TEST(SystemLanguage, TableOfIdentifiers)
{
    EXPECT_EQ(LanguageCodeFromLangId(0x0404), L"zh_TW");
    EXPECT_EQ(LanguageCodeFromLangId(0x0804), L"zh_CN");
    for (LANGID id : {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407})
        EXPECT_EQ(LanguageCodeFromLangId(id), L"de_DE") << id;
    int spanish = 0;
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        if (LanguageCodeFromLangId(static_cast<LANGID>(id)) == L"es_ES") {
            ++spanish;
            EXPECT_EQ((id - 0x040A) % 0x0400, 0u) << id;
        }
    }
    EXPECT_EQ(spanish, 20);
    EXPECT_EQ(LanguageCodeFromLangId(0x2C0A), L"es_ES");
    EXPECT_EQ(LanguageCodeFromLangId(0x500A), L"es_ES");
    EXPECT_EQ(LanguageCodeFromLangId(0x540A), L"en_US");
    EXPECT_EQ(LanguageCodeFromLangId(0x0411), L"ja_JP");
    EXPECT_EQ(LanguageCodeFromLangId(0x041E), L"th_TH");
    EXPECT_EQ(LanguageCodeFromLangId(0x0421), L"id_ID");
    EXPECT_EQ(LanguageCodeFromLangId(0x042A), L"vi_VN");
    for (LANGID id : {0x0C04, 0x1004, 0x1404, 0x0409, 0x0000, 0x1407 + 0x0400})
        EXPECT_EQ(LanguageCodeFromLangId(id), L"en_US") << id;
}

TEST(LanguageOverride, ReadsBaseSettingLan)
{
    ScratchFolder scratch;
    std::wstring ini = scratch / L"languageConfigure.ini";
    EXPECT_EQ(ReadLanguageOverride(ini), L"");
    FileSystem::WriteStringToFile(ini, "[BaseSetting]\r\nother=1\r\n");
    EXPECT_EQ(ReadLanguageOverride(ini), L"");
    FileSystem::WriteStringToFile(ini, "[BaseSetting]\r\nlan=ja_JP\r\n");
    EXPECT_EQ(ReadLanguageOverride(ini), L"ja_JP");
    // Anything but a plain code is ignored: the file is writable by any user.
    for (const char* planted : {"..\\..\\evil", "en_US\"<x>", "zh_CN;rm", "abcdefghijklmnopq"}) {
        FileSystem::WriteStringToFile(ini, std::string("[BaseSetting]\r\nlan=") + planted + "\r\n");
        EXPECT_EQ(ReadLanguageOverride(ini), L"") << planted;
    }
    EXPECT_TRUE(IsPlainLanguageCode(L"zh-TW"));
}
