// A run without a user: what would have been shown reaches the sink, and only while the run lasts.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "Exceptions.h"
#include "Unattended.h"

namespace {

TEST(Unattended, NoticesReachTheSinkOnlyWhileTheRunLasts) {
    std::vector<WideString> told;
    TellUnattended(u"before");
    EXPECT_FALSE(RunsUnattended());
    {
        const TUnattendedRun run([&told](const WideString& text) { told.push_back(text); });
        EXPECT_TRUE(RunsUnattended());
        TellUnattended(u"first");
        TellUnattended(u"second\r\nline");
    }
    EXPECT_FALSE(RunsUnattended());
    TellUnattended(u"after");
    EXPECT_EQ(told, (std::vector<WideString>{u"first", u"second\r\nline"}));
}

TEST(Unattended, ASecondRunIsRefusedAndTheFirstGoesOn) {
    std::vector<WideString> told;
    const TUnattendedRun run([&told](const WideString& text) { told.push_back(text); });
    EXPECT_THROW(TUnattendedRun([](const WideString&) {}), EInvalidOperation);
    EXPECT_TRUE(RunsUnattended());
    TellUnattended(u"still mine");
    EXPECT_EQ(told, std::vector<WideString>{u"still mine"});
}

TEST(Unattended, AFailingSinkDoesNotStopTheCaller) {
    int calls = 0;
    const TUnattendedRun run([&calls](const WideString&) {
        ++calls;
        throw std::runtime_error("disk full");
    });
    EXPECT_NO_THROW(TellUnattended(u"one"));
    EXPECT_NO_THROW(TellUnattended(u"two"));
    EXPECT_EQ(calls, 2);
}

} // namespace
