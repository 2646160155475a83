// The two comparison rules of the command loop.
#include "usi/command_match.h"

#include <gtest/gtest.h>

namespace mirabel {
namespace {

TEST(CommandMatch, LinePrefixMatchTakesTheWholeLineOrALeadingPartOfTheKeyword) {
    for (const char* line : {"", "u", "us", "usi"}) EXPECT_TRUE(LinePrefixMatch(line, "usi"));
    for (const char* line : {"usinewgame", "usi ", "usi x", "x", "USI", " usi"})
        EXPECT_FALSE(LinePrefixMatch(line, "usi")) << '"' << line << '"';
    EXPECT_TRUE(LinePrefixMatch("isrea", "isready"));
    EXPECT_FALSE(LinePrefixMatch("isready now", "isready"));
    EXPECT_TRUE(LinePrefixMatch("usin", "usinewgame"));
    EXPECT_TRUE(LinePrefixMatch("usinewgame", "usinewgame"));
    EXPECT_FALSE(LinePrefixMatch("usinewgame ", "usinewgame"));
}

TEST(CommandMatch, KeywordPrefixMatchLetsAnythingFollowTheKeyword) {
    EXPECT_TRUE(KeywordPrefixMatch("setoption name USI_Hash value 256", "setoption"));
    EXPECT_TRUE(KeywordPrefixMatch("go", "go"));
    EXPECT_TRUE(KeywordPrefixMatch("gobble", "go"));
    EXPECT_TRUE(KeywordPrefixMatch("gameover win", "gameover"));
    for (const char* line : {"", "g", " go", "Go"})
        EXPECT_FALSE(KeywordPrefixMatch(line, "go")) << '"' << line << '"';
    EXPECT_FALSE(KeywordPrefixMatch("go ponde", "go ponder"));
    EXPECT_FALSE(KeywordPrefixMatch("setoptio", "setoption"));
}

}  // namespace
}  // namespace mirabel
