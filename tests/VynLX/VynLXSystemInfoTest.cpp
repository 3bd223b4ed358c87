// What the system-information block reads of the running system: the memory and disk lines from
// given figures, and the figures, drive and date the test prefix gives.
#include <gtest/gtest.h>

#include <windows.h>

#include "VynFormatStrUtils.h"
#include "VynLXSystemInfo.h"
#include "WineTestSupport.h"

namespace {

TEST(MemoryLines, MegabytesBeyondFourGigabytesAreNotCut) {
    TMemoryFigures memory;
    memory.TotalPhysical = 8ull << 30;
    memory.AvailPhysical = (5ull << 30) + (1 << 20) - 1;
    memory.MemoryLoad = 37;
    const std::vector<WideString> lines = MemoryLines(memory);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"Total Physical Memory: 8192 MB");
    EXPECT_EQ(lines[1], u"Avail Physical Memory: 5120 MB");
    EXPECT_EQ(lines[2], u"Memory Load: 37%");
}

TEST(DiskLines, TheDriveAndItsSizesInMegabytes) {
    const std::vector<WideString> lines = WindowsDiskLines(u"C:", 500ull << 30, (3ull << 40) / 1024);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"Total Windows HD Space (C:) = 512000 MB");
    EXPECT_EQ(lines[1], u"Free Windows HD Space = 3072 MB");
    EXPECT_EQ(WindowsDiskLines(u"\\\\server\\share", 0, 0)[0],
              u"Total Windows HD Space (\\\\server\\share) = 0 MB");
}

TEST(SystemInfoSeparator, IsThirtySevenDashes) {
    EXPECT_EQ(WideString(RsSystemInfoSeparator), WideString(37, u'-'));
}

TEST(SystemInfoOnThePrefix, PhysicalMemoryInFullFromTheExtendedStatus) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(::GlobalMemoryStatusEx(&status));
    const std::vector<WideString> lines = RunningMemoryLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], FormatWide(u"Total Physical Memory: %d MB",
                                   {static_cast<long long>(status.ullTotalPhys >> 20)}));
    EXPECT_EQ(lines[1].rfind(u"Avail Physical Memory: ", 0), 0u);
    EXPECT_EQ(lines[2].rfind(u"Memory Load: ", 0), 0u);
    EXPECT_EQ(lines[2].back(), u'%');
}

TEST(SystemInfoOnThePrefix, TheWindowsDriveAndItsSizeFromTheExtendedCall) {
    EXPECT_EQ(WindowsDrive(), u"C:");
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &available, &total, &free));
    const std::vector<WideString> lines = RunningWindowsDiskLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], FormatWide(u"Total Windows HD Space (C:) = %d MB",
                                   {static_cast<long long>(total.QuadPart >> 20)}));
    EXPECT_EQ(lines[1].rfind(u"Free Windows HD Space = ", 0), 0u);
    EXPECT_FALSE(ReadDiskSpace(u"Q:\\no such volume\\"));
}

TEST(SystemInfoOnThePrefix, TheTimeIsTheShortDateAndTheLongTimeOfTheUserLocale) {
    const SYSTEMTIME moment{2003, 11, 3, 27, 21, 5, 9, 0};
    wchar_t date[80] = {};
    wchar_t time[80] = {};
    ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &moment, nullptr, date, 80), 0);
    ASSERT_GT(::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &moment, nullptr, time, 80), 0);
    const WideString text = LocalDateTimeText(moment);
    EXPECT_EQ(text, Wide(date) + u" " + Wide(time));
    // Not the long date, and the time keeps its seconds.
    EXPECT_NE(text.find(u"05"), WideString::npos) << Win(text);
    EXPECT_NE(text.find(u"09"), WideString::npos) << Win(text);
    EXPECT_EQ(text.find(u"November"), WideString::npos) << Win(text);
}

} // namespace
