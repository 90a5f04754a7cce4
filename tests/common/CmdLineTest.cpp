#include <gmock/gmock.h>

#include "common/CmdLine.h"

using ::testing::ElementsAre;

namespace {

std::vector<std::wstring> Tokens(const wchar_t* text)
{
    return CCmdLine::Tokenize(text);
}

}  // namespace

TEST(CmdLineTokens, QuotingBlanksAndEmptyTokens)
{
    EXPECT_THAT(Tokens(L""), ElementsAre());
    EXPECT_THAT(Tokens(L"a b\t\tc\r\nd"), ElementsAre(L"a", L"b", L"c", L"d"));
    // Leading blanks give one empty first token; trailing blanks give none.
    EXPECT_THAT(Tokens(L"   -x  "), ElementsAre(L"", L"-x"));
    EXPECT_THAT(Tokens(L"a \"\" b"), ElementsAre(L"a", L"", L"b"));
    EXPECT_THAT(Tokens(L"\"C:\\Program Files\\X\" y"), ElementsAre(L"C:\\Program Files\\X", L"y"));
    EXPECT_THAT(Tokens(L"-dir=\"C:\\A B\"\\c"), ElementsAre(L"-dir=C:\\A B\\c"));
}

TEST(CmdLineTokens, BackslashBeforeQuoteStaysAndQuoteStillToggles)
{
    EXPECT_THAT(Tokens(L"-dir=\"C:\\Games\\\""), ElementsAre(L"-dir=C:\\Games\\"));
    // The backslash stays and the quote opens quoting, so the blank is kept.
    EXPECT_THAT(Tokens(L"a\\\"b c"), ElementsAre(L"a\\b c"));
    EXPECT_THAT(Tokens(L"a\\b"), ElementsAre(L"a\\b"));
}

TEST(CmdLineSwitches, KeysFoldValuesKeepCase)
{
    CCmdLine cmd;
    ASSERT_TRUE(cmd.Parse(L"-SILENT /Language=en_US --ChannelId=AbC -/-nosc"));
    EXPECT_TRUE(cmd.HasKey(L"silent"));
    EXPECT_FALSE(cmd.HasKey(L"SILENT"));
    EXPECT_EQ(cmd.GetValue(L"language"), L"en_US");
    EXPECT_EQ(cmd.GetValue(L"channelid"), L"AbC");
    EXPECT_TRUE(cmd.HasKey(L"nosc"));
    EXPECT_EQ(cmd.GetValue(L"absent"), L"");
}

TEST(CmdLineSwitches, ValuesFromEqualsOrNextToken)
{
    CCmdLine cmd;
    ASSERT_TRUE(cmd.Parse(L"-a=b=c -dir C:\\Games -language -silent -empty= -last \"\""));
    EXPECT_EQ(cmd.GetValue(L"a"), L"b=c");
    EXPECT_EQ(cmd.GetValue(L"dir"), L"C:\\Games");
    EXPECT_TRUE(cmd.HasKey(L"language"));
    EXPECT_EQ(cmd.GetValue(L"language"), L"");
    EXPECT_TRUE(cmd.HasKey(L"silent"));
    EXPECT_TRUE(cmd.HasKey(L"empty"));
    EXPECT_EQ(cmd.GetValue(L"empty"), L"");
    // An empty token after a switch is its value.
    EXPECT_TRUE(cmd.HasKey(L"last"));
    EXPECT_EQ(cmd.GetValue(L"last"), L"");
    EXPECT_EQ(cmd.Switches().size(), 6u);
}

TEST(CmdLineSwitches, MalformedTokensAreIgnoredAndRepeatsKeepTheLast)
{
    CCmdLine cmd;
    ASSERT_TRUE(cmd.Parse(L"  stray - -- -=x /=y -k=1 value -k=2 -K=3"));
    EXPECT_EQ(cmd.Switches().size(), 1u);
    EXPECT_EQ(cmd.GetValue(L"k"), L"3");
    EXPECT_FALSE(cmd.Parse(nullptr));
    EXPECT_TRUE(cmd.Switches().empty());
}

TEST(CmdLineSwitches, InstallKeyInEveryForm)
{
    for (const wchar_t* text : {L"-install", L"/install", L"--INSTALL", L"-install=x", L"x -Install y"}) {
        CCmdLine cmd;
        cmd.Parse(text);
        EXPECT_TRUE(cmd.HasKey(L"install")) << text;
    }
}
