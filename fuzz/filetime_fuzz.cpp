// File times and calendar fields: every valid time round-trips both ways,
// and no 64-bit value (of ticks or of Unix seconds) goes wrong.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/check.h"
#include "platform/filetime.h"

using platform::FILETIME;
using platform::SYSTEMTIME;

namespace {

constexpr std::uint64_t kTicksPerMillisecond = 10'000;

bool same(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.milliseconds == b.milliseconds;
}

unsigned daysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Whether the fields name a time the conversion must accept.
bool valid(const SYSTEMTIME& f) {
  return f.year >= 1601 && f.year <= 30827 && f.month >= 1 && f.month <= 12 && f.day >= 1 &&
         f.day <= daysInMonth(f.year, f.month) && f.hour < 24 && f.minute < 60 && f.second < 60 &&
         f.milliseconds < 1000;
}

// Reads the next value of type T from the input, zeros once it is used up.
template <typename T>
T take(const std::uint8_t*& data, std::size_t& size) {
  T value{};
  const std::size_t n = size < sizeof value ? size : sizeof value;
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

void checkTicks(std::uint64_t ticks) {
  const SYSTEMTIME sentinel{1, 2, 3, 4, 5, 6, 7};
  SYSTEMTIME fields = sentinel;
  const bool converted = platform::calendarFromFileTime(platform::fromTicks(ticks), fields);
  FUZZ_CHECK(converted == (ticks <= platform::kMaxConvertibleTicks));
  if (!converted) {
    FUZZ_CHECK(same(fields, sentinel));
    return;
  }
  // Year 30828 converts to fields but not back, as on the original platform.
  FUZZ_CHECK(valid(fields) || (fields.year == 30828 && fields.month <= 9));
  if (fields.year > 30827) return;
  FILETIME back{};
  FUZZ_CHECK(platform::fileTimeFromCalendar(fields, back));
  FUZZ_CHECK(platform::toTicks(back) == ticks - ticks % kTicksPerMillisecond);
}

void checkFields(const SYSTEMTIME& fields) {
  FILETIME time{7, 7};
  const bool converted = platform::fileTimeFromCalendar(fields, time);
  FUZZ_CHECK(converted == valid(fields));
  if (!converted) {
    FUZZ_CHECK(time.low == 7 && time.high == 7);
    return;
  }
  SYSTEMTIME back;
  FUZZ_CHECK(platform::calendarFromFileTime(time, back));
  FUZZ_CHECK(same(back, fields));
}

void checkUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  const std::uint64_t ticks = platform::toTicks(platform::fileTimeFromUnix(seconds, nanoseconds));
  std::int64_t since1601 = 0;
  if (__builtin_add_overflow(seconds, platform::kEpochDeltaSeconds, &since1601)) {
    FUZZ_CHECK(ticks == ~0ULL);
    return;
  }
  if (since1601 < 0) {
    FUZZ_CHECK(ticks == 0);
    return;
  }
  std::uint64_t exact = 0;
  if (__builtin_mul_overflow(static_cast<std::uint64_t>(since1601), platform::kTicksPerSecond,
                             &exact) ||
      __builtin_add_overflow(exact, static_cast<std::uint64_t>(nanoseconds / 100), &exact)) {
    FUZZ_CHECK(ticks == ~0ULL);
    return;
  }
  // Exact, except that the last second of the range may saturate.
  FUZZ_CHECK(ticks == exact || (ticks == ~0ULL && exact > ~0ULL - platform::kTicksPerSecond));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto ticks = take<std::uint64_t>(data, size);
  checkTicks(ticks);
  checkTicks(ticks & platform::kMaxConvertibleTicks);

  SYSTEMTIME raw;
  raw.year = take<std::uint16_t>(data, size);
  raw.month = take<std::uint16_t>(data, size);
  raw.day = take<std::uint16_t>(data, size);
  raw.hour = take<std::uint16_t>(data, size);
  raw.minute = take<std::uint16_t>(data, size);
  raw.second = take<std::uint16_t>(data, size);
  raw.milliseconds = take<std::uint16_t>(data, size);
  checkFields(raw);
  // The same bytes brought into range, so that valid fields are met often.
  SYSTEMTIME inRange;
  inRange.year = static_cast<std::uint16_t>(1601 + raw.year % (30827 - 1600));
  inRange.month = static_cast<std::uint16_t>(1 + raw.month % 12);
  inRange.day = static_cast<std::uint16_t>(1 + raw.day % daysInMonth(inRange.year, inRange.month));
  inRange.hour = static_cast<std::uint16_t>(raw.hour % 24);
  inRange.minute = static_cast<std::uint16_t>(raw.minute % 60);
  inRange.second = static_cast<std::uint16_t>(raw.second % 60);
  inRange.milliseconds = static_cast<std::uint16_t>(raw.milliseconds % 1000);
  checkFields(inRange);

  const auto seconds = take<std::int64_t>(data, size);
  const auto nanoseconds = static_cast<std::int64_t>(take<std::uint32_t>(data, size) % 1'000'000'000);
  checkUnix(seconds, nanoseconds);
  return 0;
}
