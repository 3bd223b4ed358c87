// The machine and user queries of the error report's system information, and the small helpers
// beside them, on the NT path and (where the system offers one) the ANSI path.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "Handles.h"
#include "Screen.h"
#include "TextConversion.h"
#include "VynLXUtils.h"
#include "VynSysUtils.h"
#include "VynWindows.h"
#include "WindowsVersion.h"

namespace {

WideString Wide(const wchar_t* text) {
    return WideString(text, text + std::wcslen(text));
}

// Runs each test of a suite on the NT path and on the ANSI path.
class BothPaths : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        savedPlatform_ = VynPlatformIsNT;
        VynPlatformIsNT = GetParam();
    }
    void TearDown() override { VynPlatformIsNT = savedPlatform_; }

private:
    bool savedPlatform_ = true;
};

std::string PathName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "Wide" : "Ansi";
}

// ---- Administrators

UniqueSid AdministratorsSid() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    UniqueSid sid;
    ::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, sid.Put());
    return sid;
}

// A group list laid out as the system lays one out: the count, the entries, then their SIDs.
class SyntheticGroups {
public:
    void Add(SID_IDENTIFIER_AUTHORITY authority, std::vector<DWORD> subAuthorities, DWORD attributes) {
        entries_.push_back({authority, std::move(subAuthorities), attributes});
    }

    const TOKEN_GROUPS& Build() {
        const size_t header = offsetof(TOKEN_GROUPS, Groups) + entries_.size() * sizeof(SID_AND_ATTRIBUTES);
        size_t size = header;
        for (const Entry& entry : entries_)
            size += ::GetSidLengthRequired(static_cast<UCHAR>(entry.SubAuthorities.size()));
        storage_.assign((size + 7) / 8, 0);
        auto* bytes = reinterpret_cast<BYTE*>(storage_.data());
        auto* groups = reinterpret_cast<TOKEN_GROUPS*>(bytes);
        groups->GroupCount = static_cast<DWORD>(entries_.size());
        SID_AND_ATTRIBUTES* slots = groups->Groups;
        size_t at = header;
        for (size_t i = 0; i < entries_.size(); ++i) {
            Entry& entry = entries_[i];
            const auto count = static_cast<UCHAR>(entry.SubAuthorities.size());
            PSID sid = bytes + at;
            ::InitializeSid(sid, &entry.Authority, count);
            for (UCHAR k = 0; k < count; ++k)
                *::GetSidSubAuthority(sid, k) = entry.SubAuthorities[k];
            slots[i].Sid = sid;
            slots[i].Attributes = entry.Attributes;
            at += ::GetSidLengthRequired(count);
        }
        size_ = size;
        return *groups;
    }
    size_t Size() const { return size_; }

private:
    struct Entry {
        SID_IDENTIFIER_AUTHORITY Authority;
        std::vector<DWORD> SubAuthorities;
        DWORD Attributes;
    };
    std::vector<Entry> entries_;
    std::vector<uint64_t> storage_;
    size_t size_ = 0;
};

constexpr SID_IDENTIFIER_AUTHORITY NtAuthority = SECURITY_NT_AUTHORITY;
constexpr SID_IDENTIFIER_AUTHORITY WorldAuthority = SECURITY_WORLD_SID_AUTHORITY;

// A domain user in many domain groups: far more than 1024 bytes of list.
SyntheticGroups ManyDomainGroups() {
    SyntheticGroups groups;
    groups.Add(WorldAuthority, {0}, SE_GROUP_ENABLED | SE_GROUP_MANDATORY);
    for (DWORD rid = 1000; rid < 1060; ++rid)
        groups.Add(NtAuthority, {21, 1111, 2222, 3333, rid}, SE_GROUP_ENABLED);
    groups.Add(NtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}, SE_GROUP_ENABLED);
    return groups;
}

TEST(Administrators, TheAdministratorsGroupAtTheEndOfALongListIsFound) {
    SyntheticGroups groups = ManyDomainGroups();
    // Not enabled: membership counts, not whether the group is used for access.
    groups.Add(NtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}, SE_GROUP_USE_FOR_DENY_ONLY);
    const TOKEN_GROUPS& list = groups.Build();
    ASSERT_GT(groups.Size(), 2048u);
    EXPECT_TRUE(GroupsContainAdministrators(list));
}

TEST(Administrators, OnlyTheExactAdministratorsSidCounts) {
    SyntheticGroups groups = ManyDomainGroups();
    // The same numbers under another authority, and the administrators' RID in a domain.
    groups.Add(WorldAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}, SE_GROUP_ENABLED);
    groups.Add(NtAuthority, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0}, SE_GROUP_ENABLED);
    groups.Add(NtAuthority, {21, 1111, 2222, 3333, DOMAIN_ALIAS_RID_ADMINS}, SE_GROUP_ENABLED);
    EXPECT_FALSE(GroupsContainAdministrators(groups.Build()));

    SyntheticGroups none;
    EXPECT_FALSE(GroupsContainAdministrators(none.Build()));
}

TEST(Administrators, TheProcessTokenOfWineHoldsTheAdministratorsGroup) {
    const UniqueSid administrators = AdministratorsSid();
    BOOL member = FALSE;
    ASSERT_TRUE(::CheckTokenMembership(nullptr, administrators.get(), &member));
    ASSERT_TRUE(member) << "the test prefix runs as an administrator";
    EXPECT_TRUE(IsAdministrator());
}

// Impersonates the process's own user with the Administrators group made deny-only, for the
// object's lifetime.
class DenyOnlyAdministrators {
public:
    DenyOnlyAdministrators() {
        if (!::ImpersonateSelf(SecurityImpersonation))
            return;
        impersonating_ = true;
        HANDLE own = nullptr;
        if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ALL_ACCESS, TRUE, &own))
            return;
        const UniqueKernelHandle ownToken(own);
        const UniqueSid administrators = AdministratorsSid();
        SID_AND_ATTRIBUTES disabled{administrators.get(), 0};
        HANDLE restricted = nullptr;
        if (!::CreateRestrictedToken(ownToken.get(), 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted))
            return;
        const UniqueKernelHandle restrictedToken(restricted);
        active_ = ::SetThreadToken(nullptr, restrictedToken.get()) != FALSE;
    }
    ~DenyOnlyAdministrators() {
        if (impersonating_)
            ::RevertToSelf();
    }
    bool Active() const { return active_; }

private:
    bool impersonating_ = false;
    bool active_ = false;
};

TEST(Administrators, TheThreadsTokenCountsAndADenyOnlyGroupIsStillMembership) {
    {
        DenyOnlyAdministrators impersonation;
        ASSERT_TRUE(impersonation.Active());
        const UniqueSid administrators = AdministratorsSid();
        BOOL member = TRUE;
        ASSERT_TRUE(::CheckTokenMembership(nullptr, administrators.get(), &member));
        ASSERT_FALSE(member) << "the thread's token is the one in force";
        EXPECT_TRUE(IsAdministrator());
    }
    EXPECT_TRUE(IsAdministrator());
}

TEST(Administrators, The9xFamilyHasOnlyAdministrators) {
    const bool saved = VynPlatformIsNT;
    VynPlatformIsNT = false;
    const bool result = IsAdministrator();
    VynPlatformIsNT = saved;
    EXPECT_TRUE(result);
}

// ---- Computer and user names

class Names : public BothPaths {};

TEST_P(Names, AreTheSystemsNamesWithoutTerminator) {
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD computerSize = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(::GetComputerNameW(computer, &computerSize));
    wchar_t user[257] = {};
    DWORD userSize = 257;
    ASSERT_TRUE(::GetUserNameW(user, &userSize));

    const WideString computerName = GetComputerNameText();
    EXPECT_EQ(computerName, Wide(computer));
    EXPECT_EQ(computerName.find(u'\0'), WideString::npos);
    EXPECT_FALSE(computerName.empty());
    const WideString userName = GetUserNameText();
    EXPECT_EQ(userName, Wide(user));
    EXPECT_EQ(userName.find(u'\0'), WideString::npos);
    EXPECT_FALSE(userName.empty());
}

INSTANTIATE_TEST_SUITE_P(Environment, Names, ::testing::Bool(), PathName);

// ---- Locale texts

class LocaleTexts : public BothPaths {};

constexpr LCID German = MAKELCID(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), SORT_DEFAULT);
constexpr LCID Spanish = MAKELCID(MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN), SORT_DEFAULT);
constexpr LCID NoSuchLocale = 0x1234;

TEST_P(LocaleTexts, AreTheEnglishNamesOfTheLocale) {
    EXPECT_EQ(GetLocaleText(German, LOCALE_SENGLANGUAGE), u"German");
    EXPECT_EQ(GetLocaleLanguageCountry(German), u"German (Germany)");
}

TEST_P(LocaleTexts, ANativeNameOutsideAsciiComesThroughWhole) {
    // "español": the ANSI path goes through the ANSI code page and back.
    if (!IsCharMappableToAnsi(u'\u00f1'))
        GTEST_SKIP() << "the ANSI code page has no n with tilde";
    EXPECT_EQ(GetLocaleText(Spanish, LOCALE_SNATIVELANGNAME), u"espa\u00f1ol");
}

TEST_P(LocaleTexts, WhatTheSystemDoesNotKnowIsQuestionMarks) {
    EXPECT_EQ(GetLocaleText(German, 0x00FEDCBA), u"???");
    EXPECT_EQ(GetLocaleLanguageCountry(NoSuchLocale), u"??? (" u"???" u")");
}

TEST_P(LocaleTexts, TheWrapperReportsTheRoomNeededAndRefusesTooLittle) {
    const int needed = VynGetLocaleInfoW(German, LOCALE_SENGCOUNTRY, nullptr, 0);
    EXPECT_EQ(needed, 8); // "Germany" and its terminator
    char16_t buffer[8];
    std::memset(buffer, 0x55, sizeof buffer);
    ::SetLastError(0);
    EXPECT_EQ(VynGetLocaleInfoW(German, LOCALE_SENGCOUNTRY, buffer, 7), 0);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_EQ(VynGetLocaleInfoW(German, LOCALE_SENGCOUNTRY, buffer, 8), 8);
    EXPECT_EQ(WideString(buffer), u"Germany");
}

INSTANTIATE_TEST_SUITE_P(Environment, LocaleTexts, ::testing::Bool(), PathName);

// The system's answers, except that no locale has an English country name.
int WithoutCountries(LCID locale, LCTYPE type, char16_t* buffer, int capacity) {
    if (type == LOCALE_SENGCOUNTRY) {
        ::SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    return VynGetLocaleInfoW(locale, type, buffer, capacity);
}

// Fills the whole buffer and claims more than it was given.
int Overlong(LCID, LCTYPE, char16_t* buffer, int capacity) {
    for (int i = 0; i < capacity - 1; ++i)
        buffer[i] = u'x';
    buffer[capacity - 1] = 0;
    return capacity + 100;
}

class ReplacedLocaleQuery : public ::testing::Test {
protected:
    void TearDown() override { SetLocaleInfoQuery(nullptr); }
};

TEST_F(ReplacedLocaleQuery, ALocaleWithoutEnglishCountryNameGivesItsLanguageAndQuestionMarks) {
    SetLocaleInfoQuery(WithoutCountries);
    EXPECT_EQ(GetLocaleLanguageCountry(German), u"German (" u"???" u")");
    SetLocaleInfoQuery(nullptr);
    EXPECT_EQ(GetLocaleLanguageCountry(German), u"German (Germany)");
}

TEST_F(ReplacedLocaleQuery, AnOverlongAnswerIsCutToTheBuffer) {
    SetLocaleInfoQuery(Overlong);
    EXPECT_EQ(GetLocaleText(German, LOCALE_SENGLANGUAGE), WideString(254, u'x'));
}

// ---- Code pages, platforms and the version line

TEST(CodePages, EachAnsiCodePageHasItsIsoCharacterSet) {
    EXPECT_EQ(GetCodePageIsoName(1250), u"ISO 8859-2,  Latin 2 (Central Europe)");
    EXPECT_EQ(GetCodePageIsoName(1252), u"ISO 8859-1,  Latin 1 (ANSI)");
    EXPECT_EQ(GetCodePageIsoName(1255), u"ISO 8859-8,  Hebrew");
    EXPECT_EQ(GetCodePageIsoName(1257), u"ISO 8859-4,  Scandinavia and Baltic Rim");
}

TEST(CodePages, OthersHaveNoKnownEquivalent) {
    for (UINT codePage : {0u, 437u, 874u, 932u, 1249u, 1258u, 65001u})
        EXPECT_EQ(GetCodePageIsoName(codePage), u"(Unknown ISO equivalent)") << codePage;
}

// Puts the system's version back when the test ends.
class ReplacedVersion : public ::testing::Test {
protected:
    void Replace(const TWindowsVersion& version) {
        const TWindowsVersion previous = ReplaceWindowsVersion(version);
        if (!saved_)
            saved_ = std::make_unique<TWindowsVersion>(previous);
    }
    void TearDown() override {
        if (saved_)
            ReplaceWindowsVersion(*saved_);
    }

private:
    std::unique_ptr<TWindowsVersion> saved_;
};

TEST(Platforms, KnownIdentifiersHaveNamesAndOthersTheirNumber) {
    EXPECT_EQ(GetPlatformName(0), u"Win32s");
    EXPECT_EQ(GetPlatformName(1), u"Win9x");
    EXPECT_EQ(GetPlatformName(2), u"NT");
    EXPECT_EQ(GetPlatformName(3), u"3");
    EXPECT_EQ(GetPlatformName(-1), u"-1");
}

TEST(WindowsVersionLine, DescribesTheRunningSystem) {
    OSVERSIONINFOW system{};
    system.dwOSVersionInfoSize = sizeof system;
    ASSERT_TRUE(::GetVersionExW(&system));
    EXPECT_EQ(Win32Platform(), VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(Win32BuildNumber(), static_cast<int32_t>(system.dwBuildNumber));
    EXPECT_EQ(Win32CSDVersion(), Wide(system.szCSDVersion));
    const WideString line = GetWindowsVersionText();
    const WideString expectedStart =
        WideString(u"NT ") + AnsiToWide(std::to_string(system.dwMajorVersion) + "." +
                                        std::to_string(system.dwMinorVersion) + " (Build " +
                                        std::to_string(system.dwBuildNumber) + ") ");
    EXPECT_EQ(line, expectedStart + Wide(system.szCSDVersion));
}

TEST_F(ReplacedVersion, TheLineHasPlatformVersionBuildAndServicePack) {
    Replace({VER_PLATFORM_WIN32_NT, 5, 1, 2600, u"Service Pack 2"});
    EXPECT_EQ(GetWindowsVersionText(), u"NT 5.1 (Build 2600) Service Pack 2");
}

TEST_F(ReplacedVersion, AnUnknownPlatformIsWrittenAsItsNumber) {
    Replace({3, 10, 0, 19045, u""});
    EXPECT_EQ(GetWindowsVersionText(), u"3 10.0 (Build 19045) ");
}

// ---- Sizes in megabytes

constexpr int64_t MB = int64_t{1} << 20;
constexpr int64_t Largest = std::numeric_limits<int64_t>::max();
constexpr int64_t Smallest = std::numeric_limits<int64_t>::min();

TEST(MulMulDivMB, MultipliesAndTruncatesTowardZero) {
    // Sectors per cluster, bytes per sector, clusters: 8 * 512 * 262144 bytes = 1 GiB.
    EXPECT_EQ(MulMulDivMB(8, 512, 262144), 1024);
    EXPECT_EQ(MulMulDivMB(1, 1, MB - 1), 0);
    EXPECT_EQ(MulMulDivMB(3, MB / 2, 1), 1);
    EXPECT_EQ(MulMulDivMB(-3, MB / 2, 1), -1);
    EXPECT_EQ(MulMulDivMB(3, -(MB / 2), -1), 1);
    EXPECT_EQ(MulMulDivMB(-1, -1, -(MB - 1)), 0);
    EXPECT_EQ(MulMulDivMB(0, Largest, Smallest), 0);
}

TEST(MulMulDivMB, ProductsBeyond64BitsAreExactWhenTheMegabytesFit) {
    const int64_t bigFactor = int64_t{1} << 27;
    EXPECT_EQ(MulMulDivMB(bigFactor, bigFactor, bigFactor), int64_t{1} << 61);
    EXPECT_EQ(MulMulDivMB(Smallest, 1, 1), -(int64_t{1} << 43));
    EXPECT_EQ(MulMulDivMB(Largest, 3, 5), 15 * (int64_t{1} << 43) - 1);
    // 2^83 bytes: exactly the most negative result, one more than the largest positive one.
    EXPECT_EQ(MulMulDivMB(-(int64_t{1} << 41), int64_t{1} << 21, int64_t{1} << 21), Smallest);
    EXPECT_EQ(MulMulDivMB(int64_t{1} << 41, int64_t{1} << 21, int64_t{1} << 21), Largest);
    EXPECT_EQ(MulMulDivMB((int64_t{1} << 41) - 1, int64_t{1} << 21, int64_t{1} << 21), Largest - 4 * MB + 1);
}

TEST(MulMulDivMB, ResultsBeyond64BitsAreTheNearestValue) {
    EXPECT_EQ(MulMulDivMB(Largest, Largest, Largest), Largest);
    EXPECT_EQ(MulMulDivMB(Smallest, Smallest, Smallest), Smallest);
    EXPECT_EQ(MulMulDivMB(Smallest, Smallest, 1), Largest);
    EXPECT_EQ(MulMulDivMB(-(int64_t{1} << 42), int64_t{1} << 21, int64_t{1} << 21), Smallest);
}

// ---- Keys

// Holds a key down through the system's input queue until released or destroyed.
class HeldKey {
public:
    explicit HeldKey(WORD key) : key_(key) { down_ = Send(0) == 1; }
    ~HeldKey() { Release(); }
    bool Down() const { return down_; }
    void Release() {
        if (down_)
            Send(KEYEVENTF_KEYUP);
        down_ = false;
    }

private:
    UINT Send(DWORD flags) const {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key_;
        input.ki.dwFlags = flags;
        const UINT sent = ::SendInput(1, &input, sizeof input);
        ::Sleep(50);
        return sent;
    }
    WORD key_;
    bool down_ = false;
};

TEST(Keys, AKeyIsDownWhileHeldAndNotOnceReleased) {
    EXPECT_FALSE(IsKeyDown(VK_SHIFT));
    HeldKey shift(VK_SHIFT);
    ASSERT_TRUE(shift.Down());
    EXPECT_TRUE(IsKeyDown(VK_SHIFT));
    EXPECT_TRUE(IsKeyDown(VK_SHIFT));
    EXPECT_FALSE(IsKeyDown(VK_CONTROL));
    shift.Release();
    EXPECT_FALSE(IsKeyDown(VK_SHIFT));
}

// ---- Cursors

HCURSOR SystemCursor(LPCWSTR name) {
    return ::LoadCursorW(nullptr, name);
}

class Cursors : public ::testing::Test {
protected:
    void SetUp() override {
        units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&VynLXUtilsUnit, &RtlFormsUnit});
    }
    void TearDown() override { units_.reset(); }
    std::unique_ptr<TUnitStartup> units_;
};

TEST_F(Cursors, PushesAndPopsNestAndShowAtOnce) {
    PushCursor(crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EXPECT_EQ(::GetCursor(), SystemCursor(IDC_WAIT));
    PushCursor(crHandPoint);
    EXPECT_EQ(Screen->Cursor(), crHandPoint);
    EXPECT_EQ(::GetCursor(), SystemCursor(IDC_HAND));
    PopCursor();
    EXPECT_EQ(Screen->Cursor(), crHourGlass);
    EXPECT_EQ(::GetCursor(), SystemCursor(IDC_WAIT));
    PopCursor();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(::GetCursor(), SystemCursor(IDC_ARROW));

    Screen->SetCursor(crCross);
    PushCursor(crHourGlass);
    PopCursor();
    EXPECT_EQ(Screen->Cursor(), crCross);
}

TEST_F(Cursors, MorePopsThanPushesLeaveTheDefaultCursor) {
    Screen->SetCursor(crHourGlass);
    PopCursor();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    PushCursor(crIBeam);
    PopCursor();
    PopCursor();
    PopCursor();
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(::GetCursor(), SystemCursor(IDC_ARROW));
}

TEST_F(Cursors, ScopesRestoreInReverseOrder) {
    {
        TCursorScope busy(crHourGlass);
        {
            TCursorScope help(crHelp);
            EXPECT_EQ(Screen->Cursor(), crHelp);
        }
        EXPECT_EQ(Screen->Cursor(), crHourGlass);
    }
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(Cursors, TheStackLivesFromTheUnitsStartToItsEnd) {
    PushCursor(crHourGlass);
    PushCursor(crNo);
    units_.reset();
    units_ = std::make_unique<TUnitStartup>(std::initializer_list<const TUnitInfo*>{&VynLXUtilsUnit, &RtlFormsUnit});
    Screen->SetCursor(crHourGlass);
    PopCursor();
    EXPECT_EQ(Screen->Cursor(), crDefault) << "nothing pushed before the unit's end is left";
}

std::string InternalErrorOf(void (*action)()) {
    try {
        action();
    } catch (const EVynInternalError& error) {
        return error.Message();
    }
    return "<nothing raised>";
}

TEST(CursorsOutsideTheirUnits, AreInternalErrors) {
    EXPECT_EQ(InternalErrorOf([] { PushCursor(crHourGlass); }), "Internal Error: CursorStack not assigned.");
    EXPECT_EQ(InternalErrorOf(PopCursor), "Internal Error: CursorStack not assigned.");
    TUnitStartup units{&VynLXUtilsUnit};
    EXPECT_EQ(InternalErrorOf([] { PushCursor(crHourGlass); }), "Internal Error: Screen not assigned.");
    EXPECT_EQ(InternalErrorOf(PopCursor), "Internal Error: Screen not assigned.");
}

// ---- Texts with separators

TEST(AppendWithSeparator, SeparatesOnlyFromWhatIsAlreadyThere) {
    WideString text;
    AppendWithSeparator(text, u"C:", u", ");
    EXPECT_EQ(text, u"C:");
    AppendWithSeparator(text, u"D:", u", ");
    EXPECT_EQ(text, u"C:, D:");
    AppendWithSeparator(text, u"", u", ");
    EXPECT_EQ(text, u"C:, D:, ");

    WideString empty;
    AppendWithSeparator(empty, u"", u"; ");
    EXPECT_EQ(empty, u"");
}

} // namespace
