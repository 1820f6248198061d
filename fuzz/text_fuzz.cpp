// Narrow <-> wide text: any byte string comes back exactly, and any wide
// text converts without harm (exactly back when it holds only characters,
// surrogates included, and none of the codes that stand for single bytes).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/String.h"
#include "fuzz/check.h"

using ovix::core::String;
using ovix::core::WString;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const WString wide = WString::from(bytes);
  FUZZ_CHECK(String::from(wide) == bytes);
  FUZZ_CHECK(String(bytes).toWideStr() == wide);
  FUZZ_CHECK(wide.toStr() == bytes);
  FUZZ_CHECK(wide.size() <= bytes.size());

  // The same bytes read as wide units, whatever their values.
  std::wstring units(size / sizeof(wchar_t), L'\0');
  std::memcpy(units.data(), data, units.size() * sizeof(wchar_t));
  const String narrow = String::from(units);
  FUZZ_CHECK(String::from(WString::from(narrow)) == narrow);
  bool plain = true;
  for (const wchar_t unit : units) {
    const auto code = static_cast<std::uint32_t>(unit) & (sizeof(wchar_t) == 2 ? 0xFFFFu : ~0u);
    if (code > 0x10FFFF || (code >= 0xDC80 && code <= 0xDCFF)) plain = false;
  }
  if (plain && sizeof(wchar_t) == 4) FUZZ_CHECK(WString::from(narrow) == units);
  return 0;
}
