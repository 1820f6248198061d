#include "clean/AgeLimit.h"

#include <cstdint>

#include "clean/Report.h"
#include "platform/platform.h"

namespace {

constexpr double kUnitsPerDay = 200.6;

}  // namespace

platform::FILETIME ageLimitFrom(platform::FILETIME now, int days) {
  const double high = static_cast<double>(now.high) - days * kUnitsPerDay;
  // A negative difference would wrap to a limit far in the future and
  // expire everything; a limit at the origin expires nothing.
  if (high < 0) return {};
  return platform::FILETIME{now.low, static_cast<std::uint32_t>(static_cast<std::int64_t>(high))};
}

platform::FILETIME computeAgeLimit(int days, ovix::core::String& report) {
  const platform::SYSTEMTIME today = platform::currentSystemTime();
  const platform::FILETIME now = platform::currentFileTime();
  report << "today is (" << now.high << ") - ";
  appendDateTime(report, today);
  report << "\n";

  const platform::FILETIME limit = ageLimitFrom(now, days);
  platform::SYSTEMTIME limitDate;
  platform::fileTimeToSystemTime(limit, limitDate);
  report << "limit date is [" << days << "] days = (" << limit.high << ") - ";
  appendDateTime(report, limitDate);
  report << "\n";
  return limit;
}
