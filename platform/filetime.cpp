#include "platform/filetime.h"

#include <chrono>

namespace platform {

namespace {

using namespace std::chrono;

constexpr std::uint64_t kTicksPerDay = 86'400 * kTicksPerSecond;
constexpr sys_days kOrigin = sys_days{year{1601} / January / 1};

}  // namespace

bool calendarFromFileTime(FILETIME time, SYSTEMTIME& out) {
  const std::uint64_t ticks = toTicks(time);
  if (ticks > kMaxConvertibleTicks) return false;
  const year_month_day date{kOrigin + days{static_cast<int>(ticks / kTicksPerDay)}};
  const std::uint64_t inDay = ticks % kTicksPerDay;
  const std::uint64_t ms = inDay / 10'000;
  out.year = static_cast<std::uint16_t>(static_cast<int>(date.year()));
  out.month = static_cast<std::uint16_t>(static_cast<unsigned>(date.month()));
  out.day = static_cast<std::uint16_t>(static_cast<unsigned>(date.day()));
  out.hour = static_cast<std::uint16_t>(ms / 3'600'000);
  out.minute = static_cast<std::uint16_t>(ms / 60'000 % 60);
  out.second = static_cast<std::uint16_t>(ms / 1'000 % 60);
  out.milliseconds = static_cast<std::uint16_t>(ms % 1'000);
  return true;
}

bool fileTimeFromCalendar(const SYSTEMTIME& f, FILETIME& out) {
  // month and day keep only 8 bits of what they are made from, so a day of
  // 256 + 29 would pass as the 29th: the ranges are checked first.
  if (f.year < 1601 || f.year > 30827 || f.month > 12 || f.day > 31 || f.hour > 23 ||
      f.minute > 59 || f.second > 59 || f.milliseconds > 999) {
    return false;
  }
  const year_month_day date{year{f.year}, month{f.month}, day{f.day}};
  if (!date.ok()) return false;
  const auto dayCount = static_cast<std::uint64_t>((sys_days{date} - kOrigin).count());
  const std::uint64_t ms =
      ((f.hour * 60ULL + f.minute) * 60ULL + f.second) * 1'000ULL + f.milliseconds;
  out = fromTicks(dayCount * kTicksPerDay + ms * 10'000);
  return true;
}

FILETIME fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  // Saturate far beyond year 30828 instead of wrapping around. The bound is
  // checked before the epoch is shifted, since a time near the end of the
  // 64-bit range (which some file systems store) would overflow the sum and
  // come out as 1601, the oldest time there is.
  constexpr auto kMaxSeconds = static_cast<std::int64_t>(~0ULL / kTicksPerSecond) - 1;
  if (seconds > kMaxSeconds - kEpochDeltaSeconds) return fromTicks(~0ULL);
  const std::int64_t since1601 = seconds + kEpochDeltaSeconds;
  if (since1601 < 0) return {};
  return fromTicks(static_cast<std::uint64_t>(since1601) * kTicksPerSecond +
                   static_cast<std::uint64_t>(nanoseconds / 100));
}

}  // namespace platform
