// The installer's switches as scripts and management tools write them.
#include <gtest/gtest.h>

#include "FerruleOptions.h"

namespace {

TEST(FerruleOptions, QuietIsKnownInEveryCaseAndSpelling) {
    for (const char16_t* spelling : {u"/quiet", u"/QUIET", u"/Quiet", u"/q", u"/Q", u"-quiet", u"-q"}) {
        const TFerruleOptions options = ParseFerruleOptions({spelling});
        EXPECT_TRUE(options.Quiet) << std::string(spelling, spelling + std::char_traits<char16_t>::length(spelling));
        EXPECT_TRUE(options.Unknown.empty());
    }
    EXPECT_FALSE(ParseFerruleOptions({}).Quiet);
}

TEST(FerruleOptions, TheLogPathKeepsItsCaseAndBlanksAndTheLastOneCounts) {
    TFerruleOptions options = ParseFerruleOptions({u"/LOG=C:\\Logs\\My Setup.LOG", u"/q"});
    EXPECT_EQ(options.LogPath, u"C:\\Logs\\My Setup.LOG");
    EXPECT_TRUE(options.Quiet);
    options = ParseFerruleOptions({u"/log=a.log", u"-Log=b=c.log"});
    EXPECT_EQ(options.LogPath, u"b=c.log");
    EXPECT_TRUE(options.Unknown.empty());
}

TEST(FerruleOptions, AnythingElseIsUnknownAndKeptAsGiven) {
    const TFerruleOptions options =
        ParseFerruleOptions({u"/quiet2", u"/log=", u"/log", u"quiet", u"/", u"-", u"/qu", u"/S", u"/\u00C4"});
    EXPECT_EQ(options.Unknown, (std::vector<WideString>{u"/quiet2", u"/log=", u"/log", u"quiet", u"/", u"-", u"/qu",
                                                         u"/S", u"/\u00C4"}));
    EXPECT_FALSE(options.Quiet);
    EXPECT_TRUE(options.LogPath.empty());
}

TEST(FerruleOptions, HelpIsAskedForWithTheQuestionMark) {
    EXPECT_TRUE(ParseFerruleOptions({u"/?"}).Help);
    EXPECT_TRUE(ParseFerruleOptions({u"-?"}).Help);
    EXPECT_FALSE(ParseFerruleOptions({u"/q"}).Help);
}

} // namespace
