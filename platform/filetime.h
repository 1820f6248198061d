// File times and calendar fields, and the pure conversion between them.
//
// A file time counts 100-nanosecond ticks since 1601-01-01 00:00 UTC. These
// functions do no I/O and read no clock, so they can be tested on their own;
// every platform backend converts through them.
#pragma once

#include <cstdint>

namespace platform {

// A point in time as two unsigned 32-bit halves of a 64-bit tick count.
struct FILETIME {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
};

// A point in time as calendar fields (proleptic Gregorian), each an unsigned
// 16-bit number.
struct SYSTEMTIME {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;
};

inline constexpr std::uint64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to the Unix epoch 1970-01-01.
inline constexpr std::int64_t kEpochDeltaSeconds = 11'644'473'600;
// The largest tick count that converts to calendar fields (year 30828).
inline constexpr std::uint64_t kMaxConvertibleTicks = 0x7FFF'FFFF'FFFF'FFFFULL;

constexpr std::uint64_t toTicks(FILETIME t) {
  return (static_cast<std::uint64_t>(t.high) << 32) | t.low;
}
constexpr FILETIME fromTicks(std::uint64_t ticks) {
  return FILETIME{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
}

// -1, 0 or 1 as `a` is earlier than, equal to or later than `b`, comparing
// the whole 64-bit values.
constexpr int compareFileTimes(FILETIME a, FILETIME b) {
  const std::uint64_t x = toTicks(a);
  const std::uint64_t y = toTicks(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

// Calendar fields of `time`, truncated to milliseconds. Returns false and
// leaves `out` unchanged when the tick count exceeds kMaxConvertibleTicks.
bool calendarFromFileTime(FILETIME time, SYSTEMTIME& out);

// The file time of the calendar fields. Returns false and leaves `out`
// unchanged when a field is out of range (year 1601 to 30827, a real day of
// the month, hour below 24, minute and second below 60, milliseconds below
// 1000).
bool fileTimeFromCalendar(const SYSTEMTIME& fields, FILETIME& out);

// The file time of a Unix time given as seconds and nanoseconds since 1970.
// Times before 1601 give 0, times beyond the 64-bit tick range (any seconds
// value is accepted) the largest file time; the nanoseconds (0 to
// 999'999'999, as the OS gives them) are kept to 100 ns.
FILETIME fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);

}  // namespace platform
