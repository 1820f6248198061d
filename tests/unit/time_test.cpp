#include <gtest/gtest.h>

#include <cstdint>

#include "clean/AgeLimit.h"
#include "platform/filetime.h"

using platform::FILETIME;
using platform::SYSTEMTIME;

namespace {

struct KnownTime {
  SYSTEMTIME fields;
  std::uint64_t ticks;
};

const KnownTime kKnownTimes[] = {
    {{1601, 1, 1, 0, 0, 0, 0}, 0},
    {{1601, 1, 1, 0, 0, 0, 1}, 10'000},
    {{1900, 3, 1, 0, 0, 0, 0}, 94'405'824'000'000'000},
    {{1970, 1, 1, 0, 0, 0, 0}, 116'444'736'000'000'000},
    {{2000, 2, 29, 12, 34, 56, 789}, 125'963'012'967'890'000},
    {{2024, 2, 29, 23, 59, 59, 999}, 133'537'247'999'990'000},
    {{2038, 1, 19, 3, 14, 7, 0}, 137'919'572'470'000'000},
    {{30827, 12, 31, 23, 59, 59, 999}, 9'223'149'887'999'990'000ULL},
};

bool sameFields(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.milliseconds == b.milliseconds;
}

}  // namespace

TEST(FileTimeTest, KnownTimesConvertBothWays) {
  for (const KnownTime& k : kKnownTimes) {
    FILETIME time{1, 1};
    ASSERT_TRUE(platform::fileTimeFromCalendar(k.fields, time)) << k.ticks;
    EXPECT_EQ(platform::toTicks(time), k.ticks);
    SYSTEMTIME fields;
    ASSERT_TRUE(platform::calendarFromFileTime(platform::fromTicks(k.ticks), fields));
    EXPECT_TRUE(sameFields(fields, k.fields)) << k.ticks;
  }
}

TEST(FileTimeTest, SubMillisecondTicksTruncate) {
  SYSTEMTIME fields;
  ASSERT_TRUE(platform::calendarFromFileTime(platform::fromTicks(116'444'736'000'009'999), fields));
  EXPECT_TRUE(sameFields(fields, SYSTEMTIME{1970, 1, 1, 0, 0, 0, 0}));
}

TEST(FileTimeTest, LargestConvertibleTimeAndBeyond) {
  SYSTEMTIME fields;
  ASSERT_TRUE(platform::calendarFromFileTime(platform::fromTicks(platform::kMaxConvertibleTicks),
                                             fields));
  EXPECT_TRUE(sameFields(fields, SYSTEMTIME{30828, 9, 14, 2, 48, 5, 477}));
  SYSTEMTIME untouched{1, 2, 3, 4, 5, 6, 7};
  EXPECT_FALSE(platform::calendarFromFileTime(
      platform::fromTicks(platform::kMaxConvertibleTicks + 1), untouched));
  EXPECT_FALSE(platform::calendarFromFileTime(FILETIME{~0U, ~0U}, untouched));
  EXPECT_TRUE(sameFields(untouched, SYSTEMTIME{1, 2, 3, 4, 5, 6, 7}));
}

TEST(FileTimeTest, InvalidFieldsAreRefused) {
  const SYSTEMTIME invalid[] = {
      {1600, 12, 31, 0, 0, 0, 0}, {30828, 1, 1, 0, 0, 0, 0}, {1900, 2, 29, 0, 0, 0, 0},
      {2023, 2, 29, 0, 0, 0, 0},  {2024, 13, 1, 0, 0, 0, 0}, {2024, 0, 1, 0, 0, 0, 0},
      {2024, 4, 31, 0, 0, 0, 0},  {2024, 1, 0, 0, 0, 0, 0},  {2024, 1, 1, 24, 0, 0, 0},
      {2024, 1, 1, 0, 60, 0, 0},  {2024, 1, 1, 0, 0, 60, 0}, {2024, 1, 1, 0, 0, 0, 1000},
      // Beyond 8 bits: must not pass as 2000-02-29 or 2000-02-01.
      {2000, 2, 256 + 29, 0, 0, 0, 0}, {2000, 256 + 2, 1, 0, 0, 0, 0},
  };
  for (const SYSTEMTIME& f : invalid) {
    FILETIME time{7, 7};
    EXPECT_FALSE(platform::fileTimeFromCalendar(f, time)) << f.year << "-" << f.month << "-" << f.day;
    EXPECT_EQ(platform::toTicks(time), platform::toTicks(FILETIME{7, 7}));
  }
}

TEST(FileTimeTest, UnixTimesKeep100Nanoseconds) {
  EXPECT_EQ(platform::toTicks(platform::fileTimeFromUnix(0, 0)), 116'444'736'000'000'000U);
  EXPECT_EQ(platform::toTicks(platform::fileTimeFromUnix(1, 999'999'999)),
            116'444'736'000'000'000U + 19'999'999U);
  EXPECT_EQ(platform::toTicks(platform::fileTimeFromUnix(-11'644'473'600, 0)), 0U);
  EXPECT_EQ(platform::toTicks(platform::fileTimeFromUnix(-11'644'473'601, 0)), 0U);
}

TEST(FileTimeTest, UnixTimesAtTheEndsOfTheRangeSaturate) {
  // Some file systems store any 64-bit seconds value; one near the top must
  // not wrap around to 1601 (and so look expired).
  constexpr std::int64_t kMax = INT64_MAX;
  constexpr std::int64_t kMin = INT64_MIN;
  // The last second whose ticks still fit, and the first that does not.
  constexpr std::int64_t kLastFitting = 1'844'674'407'369 - 11'644'473'600;
  struct Case { std::int64_t seconds; std::uint64_t ticks; };
  const Case cases[] = {
      {kMax, ~0ULL},
      {kMax - 11'644'473'600, ~0ULL},
      {kLastFitting, 18'446'744'073'690'000'000ULL},
      {kLastFitting + 1, ~0ULL},
      {kMin, 0},
      {kMin + 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::toTicks(platform::fileTimeFromUnix(c.seconds, 0)), c.ticks) << c.seconds;
  }
}

TEST(FileTimeTest, ComparisonUsesTheWholeValue) {
  EXPECT_EQ(platform::compareFileTimes({0xFFFFFFFF, 1}, {0, 2}), -1);
  EXPECT_EQ(platform::compareFileTimes({5, 2}, {5, 2}), 0);
  EXPECT_EQ(platform::compareFileTimes({1, 2}, {0, 2}), 1);
}

TEST(AgeLimitTest, HighHalfMovesByDaysTimes200Point6RoundedUp) {
  struct Case { int days; std::uint32_t subtracted; };
  const Case cases[] = {{1, 201}, {2, 402}, {3, 602}, {4, 803}, {5, 1003}, {10, 2006}, {7, 1405}};
  const FILETIME now{0x12345678, 30'000'000};
  for (const Case& c : cases) {
    const FILETIME limit = ageLimitFrom(now, c.days);
    EXPECT_EQ(now.high - limit.high, c.subtracted) << c.days;
    EXPECT_EQ(limit.low, now.low) << c.days;
  }
}

TEST(AgeLimitTest, ALimitBefore1601ExpiresNothing) {
  struct Case { std::uint32_t nowHigh; int days; };
  for (const Case& c : {Case{200, 1}, Case{30'000'000, 150'000}, Case{30'000'000, 2147483647}}) {
    const FILETIME limit = ageLimitFrom(FILETIME{0xABCDEF, c.nowHigh}, c.days);
    EXPECT_EQ(platform::toTicks(limit), 0U) << c.nowHigh << " " << c.days;
  }
  // Exactly reaching 1601 is still an ordinary limit.
  EXPECT_EQ(ageLimitFrom(FILETIME{9, 1003}, 5).high, 0U);
  EXPECT_EQ(ageLimitFrom(FILETIME{9, 1003}, 5).low, 9U);
}
