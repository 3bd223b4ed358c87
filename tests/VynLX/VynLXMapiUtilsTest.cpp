// Support mail through a stand-in Simple MAPI library (tests/fixtures/StandInMapi), named by full
// path: what the library is handed, the results and what they raise, its unloading, and where a
// bare library name may come from.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Application.h"
#include "Exceptions.h"
#include "StandInMapiRecord.h"
#include "TextConversion.h"
#include "UnitRegistry.h"
#include "VynLXMapiUtils.h"
#include "VynSysUtils.h"
#include "VynSystem.h"
#include "VynWindows.h"
#include "WineTestSupport.h"

namespace {

constexpr char NotAvailable[] = "Mapi32.dll is not available at this time.";
constexpr char NoSendMail[] = "MAPISendMail is not available at this time (in Mapi32.dll).";

template <typename Error, typename Action> std::string MessageOf(Action action) {
    try {
        action();
    } catch (const Error& error) {
        return error.Message();
    }
    return "<nothing raised>";
}

bool SamePath(const std::string& recorded, const std::wstring& expected) {
    return ::lstrcmpiA(recorded.c_str(), WideToAnsi(Wide(expected)).c_str()) == 0;
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FolderOf(path);
}

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\";
}

// A copy of the stand-in placed for one test and removed afterwards.
class PlacedCopy {
public:
    explicit PlacedCopy(std::wstring path) : path_(std::move(path)) {
        if (!::CopyFileW(HostPath(STANDIN_MAPI_PATH).c_str(), path_.c_str(), FALSE))
            throw std::runtime_error("cannot place a copy of the stand-in mail library");
    }
    ~PlacedCopy() { RemoveFile(path_); }
    PlacedCopy(const PlacedCopy&) = delete;
    PlacedCopy& operator=(const PlacedCopy&) = delete;
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

// The process's current folder for one test; the previous one comes back afterwards.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder) {
        ::GetCurrentDirectoryW(MAX_PATH, saved_);
        if (!::SetCurrentDirectoryW(folder.c_str()))
            throw std::runtime_error("cannot change the current folder");
    }
    ~CurrentFolder() { ::SetCurrentDirectoryW(saved_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    wchar_t saved_[MAX_PATH] = {};
};

class SupportMail : public ::testing::Test {
protected:
    void SetUp() override {
        ClearStandInMapiRecord();
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{
            &VynSystemUnit, &VynWindowsUnit, &VynSysUtilsUnit, &RtlFormsUnit});
        savedLibraryName_ = MapiLibraryName();
        MapiLibraryName() = Wide(StandIn());
    }
    void TearDown() override {
        MapiLibraryName() = savedLibraryName_;
        units_.reset();
        ClearStandInMapiRecord();
    }

    static std::wstring StandIn() { return HostPath(STANDIN_MAPI_PATH); }
    static void SetResult(DWORD result) { SetStandInMapiResult(result); }
    static void SendToSupport(const AnsiString& attachment = "", bool noDialog = false) {
        SendMapiMail("Ferrule 3.6 Issue", "Error message:\r\n  100% wrong", attachment, "", "",
                     "help@example.org", "Ferrule 3.6 Support", noDialog);
    }
    static bool StandInLoaded() { return ::GetModuleHandleW(StandIn().c_str()) != nullptr; }

    std::unique_ptr<TUnitStartup> units_;
    WideString savedLibraryName_;
};

TEST_F(SupportMail, HandsTheLibraryEveryFieldOfAMessageToOneRecipientWithAnAttachment) {
    ScratchFolder folder(L"FerruleMapiFields");
    const std::wstring attachment = folder.Path() + L"\\Error Details.txt";
    const std::vector<char> report{'l', 'i', 'n', 'e', '\r', '\n', '\0', '\xFF', '\r', '\n'};
    WriteFileBytes(attachment, report);

    SendToSupport(WideToAnsi(Wide(attachment)));

    EXPECT_EQ(RecordedNumber("Session"), 0u);
    EXPECT_EQ(RecordedNumber("UIParam"), reinterpret_cast<ULONG_PTR>(Application->Handle()));
    EXPECT_EQ(RecordedNumber("ParentProcessId"), ::GetCurrentProcessId());
    EXPECT_EQ(RecordedNumber("Flags"), 9u);
    EXPECT_EQ(RecordedNumber("Reserved"), 0u);

    EXPECT_EQ(RecordedNumber("Message.Reserved"), 0u);
    EXPECT_EQ(RecordedText("Message.Subject"), "Ferrule 3.6 Issue");
    EXPECT_EQ(RecordedText("Message.NoteText"), "Error message:\r\n  100% wrong");
    EXPECT_TRUE(RecordedNull("Message.MessageType"));
    EXPECT_TRUE(RecordedNull("Message.DateReceived"));
    EXPECT_TRUE(RecordedNull("Message.ConversationID"));
    EXPECT_EQ(RecordedNumber("Message.Flags"), 0u);
    EXPECT_TRUE(RecordedNull("Originator"));

    EXPECT_EQ(RecordedNumber("Message.RecipCount"), 1u);
    EXPECT_EQ(RecordedNumber("Recip0.Reserved"), 0u);
    EXPECT_EQ(RecordedNumber("Recip0.RecipClass"), 1u);
    EXPECT_EQ(RecordedText("Recip0.Name"), "Ferrule 3.6 Support");
    EXPECT_EQ(RecordedText("Recip0.Address"), "SMTP:help@example.org");
    EXPECT_EQ(RecordedNumber("Recip0.EIDSize"), 0u);
    EXPECT_TRUE(RecordedNull("Recip0.EntryID"));

    EXPECT_EQ(RecordedNumber("Message.FileCount"), 1u);
    EXPECT_EQ(RecordedNumber("File0.Reserved"), 0u);
    EXPECT_EQ(RecordedNumber("File0.Flags"), 0u);
    EXPECT_EQ(RecordedNumber("File0.Position"), 0xFFFFFFFFu);
    EXPECT_EQ(RecordedText("File0.PathName"), WideToAnsi(Wide(attachment)));
    EXPECT_TRUE(RecordedNull("File0.FileName"));
    EXPECT_TRUE(RecordedNull("File0.FileType"));
    EXPECT_EQ(RecordedBytes("File0.Bytes"), report);
}

TEST_F(SupportMail, AbsentPartsReachTheLibraryAsNullPointersAndZeroCounts) {
    SendMapiMail("", "", "", "", "", "", "", false);

    EXPECT_FALSE(RecordedNull("Message"));
    EXPECT_TRUE(RecordedNull("Message.Subject"));
    EXPECT_TRUE(RecordedNull("Message.NoteText"));
    EXPECT_TRUE(RecordedNull("Originator"));
    EXPECT_EQ(RecordedNumber("Message.RecipCount"), 0u);
    EXPECT_TRUE(RecordedNull("Message.Recips"));
    EXPECT_EQ(RecordedNumber("Message.FileCount"), 0u);
    EXPECT_TRUE(RecordedNull("Message.Files"));
}

TEST_F(SupportMail, AnOriginatorIsSentAsMapiOrigAndANamelessPartyIsNamedByItsAddress) {
    SendMapiMail("Subject", "Body", "", "me@example.org", "Me", "you@example.org", "", false);

    EXPECT_EQ(RecordedNumber("Originator.RecipClass"), 0u);
    EXPECT_EQ(RecordedText("Originator.Name"), "Me");
    EXPECT_EQ(RecordedText("Originator.Address"), "SMTP:me@example.org");
    EXPECT_EQ(RecordedText("Recip0.Name"), "you@example.org");
    EXPECT_EQ(RecordedText("Recip0.Address"), "SMTP:you@example.org");
}

TEST_F(SupportMail, TheNoDialogSwitchLeavesOnlyTheLogonFlag) {
    SendToSupport("", true);
    EXPECT_EQ(RecordedNumber("Flags"), 1u);
}

TEST_F(SupportMail, ACancelledSendIsTheSilentAbort) {
    SetResult(1);
    EXPECT_THROW(SendToSupport(), EAbort);
    EXPECT_FALSE(StandInLoaded());
}

TEST_F(SupportMail, AFailingResultRaisesAGeneralErrorWithItsText) {
    for (const DWORD result : {2u, 3u, 11u, 25u, 26u}) {
        SetResult(result);
        EXPECT_EQ(MessageOf<EVynGeneralError>([] { SendToSupport(); }), WideToAnsi(MapiErrorText(result)))
            << "result " << result;
    }
    SetResult(26);
    EXPECT_EQ(MessageOf<EVynGeneralError>([] { SendToSupport(); }),
              "MAPISendMail resulted in an error (26).");
}

TEST_F(SupportMail, TheLibraryIsUnloadedAfterASendAndAfterAFailure) {
    ASSERT_FALSE(StandInLoaded());
    SendToSupport();
    EXPECT_FALSE(StandInLoaded());
    EXPECT_PRED2(SamePath, RecordedText("Unloaded"), StandIn());

    ClearStandInMapiRecord();
    SetResult(2);
    EXPECT_THROW(SendToSupport(), EVynGeneralError);
    EXPECT_FALSE(StandInLoaded());
    EXPECT_PRED2(SamePath, RecordedText("Unloaded"), StandIn());
}

TEST_F(SupportMail, AMissingLibraryOrExportGivesItsOwnMessage) {
    MapiLibraryName() = Wide(ProgramFolder() + L"NoSuchMailLibrary.dll");
    EXPECT_EQ(MessageOf<EVynGeneralError>([] { SendToSupport(); }), NotAvailable);

    const std::wstring withoutExport = HostPath(STANDIN_DAO_PATH);
    ASSERT_EQ(::GetModuleHandleW(withoutExport.c_str()), nullptr);
    MapiLibraryName() = Wide(withoutExport);
    EXPECT_EQ(MessageOf<EVynGeneralError>([] { SendToSupport(); }), NoSendMail);
    EXPECT_EQ(::GetModuleHandleW(withoutExport.c_str()), nullptr);
}

// Both the wide loader (NT family) and the ANSI one (Windows 9x) must keep to the system folder.
class SupportMailOnEachPlatform : public SupportMail, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        SupportMail::SetUp();
        savedPlatform_ = VynPlatformIsNT;
        VynPlatformIsNT = GetParam();
    }
    void TearDown() override {
        VynPlatformIsNT = savedPlatform_;
        SupportMail::TearDown();
    }

private:
    bool savedPlatform_ = true;
};

INSTANTIATE_TEST_SUITE_P(NTAnd9x, SupportMailOnEachPlatform, ::testing::Values(true, false));

TEST_P(SupportMailOnEachPlatform, ABareNameIsLoadedFromTheSystemFolderOnly) {
    const std::wstring bareName = L"FerruleTestMapi" + std::to_wstring(::GetCurrentProcessId()) + L".dll";
    ScratchFolder current(L"FerruleMapiCurrent");
    const PlacedCopy besideProgram(ProgramFolder() + bareName);
    const PlacedCopy inCurrentFolder(current.Path() + L"\\" + bareName);
    const CurrentFolder currentFolder(current.Path());
    MapiLibraryName() = Wide(bareName);

    EXPECT_EQ(MessageOf<EVynGeneralError>([] { SendToSupport(); }), NotAvailable);
    EXPECT_FALSE(Recorded("Module"));
    EXPECT_EQ(::GetModuleHandleW(besideProgram.Path().c_str()), nullptr);
    EXPECT_EQ(::GetModuleHandleW(inCurrentFolder.Path().c_str()), nullptr);

    {
        const PlacedCopy inSystemFolder(SystemFolder() + bareName);
        SendToSupport();
        EXPECT_PRED2(SamePath, RecordedText("Module"), inSystemFolder.Path());
    }
}

TEST(MapiErrorTexts, EveryCodeOfTheTableHasItsTextAndOthersTheirNumber) {
    EXPECT_EQ(MapiErrorText(1), u"The user canceled one of the dialog boxes. No message was sent.");
    EXPECT_EQ(MapiErrorText(2), u"One or more unspecified errors occurred. No message was sent.");
    EXPECT_EQ(MapiErrorText(3), u"There was no default logon, and the user failed to log on successfully "
                                u"when the logon dialog box was displayed. No message was sent.");
    EXPECT_EQ(MapiErrorText(5), u"There was insufficient memory to proceed. No message was sent.");
    EXPECT_EQ(MapiErrorText(9), u"There were too many file attachments. No message was sent.");
    EXPECT_EQ(MapiErrorText(10), u"There were too many recipients. No message was sent.");
    EXPECT_EQ(MapiErrorText(11), u"The specified attachment was not found. No message was sent.");
    EXPECT_EQ(MapiErrorText(12), u"The specified attachment could not be opened. No message was sent.");
    EXPECT_EQ(MapiErrorText(14), u"A recipient did not appear in the address list. No message was sent.");
    EXPECT_EQ(MapiErrorText(15),
              u"The type of a recipient was not MAPI_TO, MAPI_CC, or MAPI_BCC. No message was sent.");
    EXPECT_EQ(MapiErrorText(18), u"The text in the message was too large. No message was sent.");
    EXPECT_EQ(MapiErrorText(21), u"A recipient matched more than one of the recipient descriptor structures "
                                 u"and MAPI_DIALOG was not set. No message was sent.");
    EXPECT_EQ(MapiErrorText(25), u"One or more recipients were invalid or did not resolve to any address.");
    for (const uint32_t code : {4u, 6u, 13u, 26u})
        EXPECT_EQ(MapiErrorText(code),
                  u"MAPISendMail resulted in an error (" + Wide(std::to_wstring(code)) + u").");
}

TEST(MapiErrorTexts, SuccessIsNoErrorAndFailsTheUnitsAssertion) {
    const std::string message = MessageOf<EAssertionFailed>([] { MapiErrorText(0); });
    EXPECT_EQ(message.rfind("Assertion failure (lib/VynLX/VynLXMapiUtils, line ", 0), 0u) << message;
}

TEST(MapiLibrary, IsTheSystemsMapi32ByDefault) {
    EXPECT_EQ(MapiLibraryName(), u"MAPI32.DLL");
}

} // namespace
