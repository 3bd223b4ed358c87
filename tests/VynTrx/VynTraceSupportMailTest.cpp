// The exception dialog's support mail, handed to the stand-in mail library
// (tests/fixtures/StandInMapi) by full path: what the library is given, and what its results raise.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "Exceptions.h"
#include "StandInMapiRecord.h"
#include "UnitRegistry.h"
#include "VynClasses.h"
#include "VynLXMapiUtils.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynTraceSupportMail.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

template <typename Error, typename Action> std::string MessageOf(Action action) {
    try {
        action();
    } catch (const Error& error) {
        return error.Message();
    }
    return "<nothing raised>";
}

std::string JoinedByCrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? "" : "\r\n") + lines[i];
    return text;
}

// The body as the support desk reads it, line by line.
std::string ExpectedBody(const std::string& message) {
    return JoinedByCrLf(
        {"Error message:",
         "  " + message,
         "",
         ">> 1. What steps did you perform prior to encountering this error?",
         "",
         "",
         "",
         ">> 2. What were you trying to accomplish?",
         "",
         "",
         "",
         ">> 3. How often do you receive this error message?",
         "",
         "",
         "",
         ">> 4. Besides email, what is the best way to contact you?",
         "",
         "",
         "",
         ">> ^^^^^ Thank you for reporting this error! ^^^^^^",
         "",
         "(The attached file, \"Error Details.txt\", contains technical details about this error.)"});
}

class SupportMailFromTheDialog : public ::testing::Test {
protected:
    void SetUp() override {
        ClearStandInMapiRecord();
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit, &VynLXUtilsUnit});
        savedLibraryName_ = MapiLibraryName();
        MapiLibraryName() = Wide(HostPath(STANDIN_MAPI_PATH));
        savedTitle_ = Application->Title();
        Application->SetTitle("Ferrule 3.6");
        SupportEmailAddress = u"support@ferrule-setup.org";
    }
    void TearDown() override {
        SupportEmailAddress.clear();
        Application->SetTitle(savedTitle_);
        MapiLibraryName() = savedLibraryName_;
        units_.reset();
        ClearStandInMapiRecord();
    }

    static void Send() { SendSupportMail({"Exception class: EAbort", "", "d\xE9j\xE0 vu"}, u"It failed."); }

    std::unique_ptr<TUnitStartup> units_;
    WideString savedLibraryName_;
    AnsiString savedTitle_;
};

TEST_F(SupportMailFromTheDialog, GoesToTheSupportAddressWithTheDetailsAttachedAndTheQuestionsInTheBody) {
    SendSupportMail({"Exception class: EAbort", "", "d\xE9j\xE0 vu"}, u"Disk full at 100% (%s)");

    EXPECT_EQ(RecordedText("Message.Subject"), "Ferrule 3.6 Issue");
    EXPECT_EQ(RecordedText("Message.NoteText"), ExpectedBody("Disk full at 100% (%s)"));
    EXPECT_EQ(RecordedNumber("Flags"), 9u);
    EXPECT_TRUE(RecordedNull("Originator"));

    EXPECT_EQ(RecordedNumber("Message.RecipCount"), 1u);
    EXPECT_EQ(RecordedNumber("Recip0.RecipClass"), 1u);
    EXPECT_EQ(RecordedText("Recip0.Name"), "Ferrule 3.6 Support");
    EXPECT_EQ(RecordedText("Recip0.Address"), "SMTP:support@ferrule-setup.org");

    EXPECT_EQ(RecordedNumber("Message.FileCount"), 1u);
    EXPECT_EQ(RecordedNumber("File0.Position"), 0xFFFFFFFFu);
    const std::string attachment = RecordedText("File0.PathName");
    EXPECT_TRUE(attachment.ends_with("\\Error Details.txt")) << attachment;
    const std::string details = "Exception class: EAbort\r\n\r\nd\xE9j\xE0 vu\r\n";
    EXPECT_EQ(RecordedBytes("File0.Bytes"), std::vector<char>(details.begin(), details.end()));

    // The attachment's folder is a temporary one, removed when the program ends.
    const WideString folder = AnsiToWideCP(attachment.substr(0, attachment.rfind('\\') + 1), DefaultCodePage);
    ASSERT_NE(GarbageCollectedFolderList, nullptr);
    EXPECT_GE(GarbageCollectedFolderList->PositionOf(folder), 0) << attachment;
}

TEST_F(SupportMailFromTheDialog, EachSendHasAFolderOfItsOwn) {
    Send();
    const std::string first = RecordedText("File0.PathName");
    ClearStandInMapiRecord();
    Send();
    EXPECT_NE(RecordedText("File0.PathName"), first);
}

TEST_F(SupportMailFromTheDialog, ACancelledSendIsTheSilentAbortAndAFailureItsText) {
    SetStandInMapiResult(1);
    EXPECT_THROW(Send(), EAbort);
    SetStandInMapiResult(26);
    EXPECT_EQ(MessageOf<EVynGeneralError>([] { Send(); }), "MAPISendMail resulted in an error (26).");
}

TEST(SupportMailBody, TwentyTwoLinesWithTheMessageCarriedAsItIs) {
    const AnsiString body = SupportMailBody(u"100% of %d and %s");
    EXPECT_EQ(body, ExpectedBody("100% of %d and %s"));
    size_t breaks = 0;
    for (size_t at = body.find("\r\n"); at != AnsiString::npos; at = body.find("\r\n", at + 2))
        ++breaks;
    EXPECT_EQ(breaks, 21u);
    EXPECT_FALSE(body.ends_with("\r\n"));
}

TEST(SupportMailBody, IsConvertedInTheProgramsCodePage) {
    const TUnitStartup units{&VynSystemUnit};
    const uint32_t saved = DefaultCodePage;
    DefaultCodePage = 1252;
    const AnsiString western = SupportMailBody(u"Fehler \u00fcberall \u20ac");
    DefaultCodePage = 1251;
    const AnsiString cyrillic = SupportMailBody(u"\u041e\u0448\u0438\u0431\u043a\u0430");
    DefaultCodePage = saved;
    EXPECT_NE(western.find("  Fehler \xFC"
                           "berall \x80\r\n"),
              AnsiString::npos);
    EXPECT_NE(cyrillic.find("  \xCE\xF8\xE8\xE1\xEA\xE0\r\n"), AnsiString::npos);
}

} // namespace
