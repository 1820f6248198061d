// Wildcard matching against a plain dynamic-programming matcher, and the
// log pattern against "contains .log in any case".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/check.h"
#include "platform/wildcard.h"

namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// matches[j]: whether the pattern so far matches the first j characters.
bool referenceMatch(std::string_view pattern, std::string_view name) {
  std::vector<bool> matches(name.size() + 1, false);
  matches[0] = true;
  for (const char p : pattern) {
    std::vector<bool> next(name.size() + 1, false);
    if (p == '*') {
      next[0] = matches[0];
      for (std::size_t j = 1; j <= name.size(); ++j) next[j] = matches[j] || next[j - 1];
    } else {
      for (std::size_t j = 1; j <= name.size(); ++j) {
        next[j] = matches[j - 1] && (p == '?' || fold(p) == fold(name[j - 1]));
      }
    }
    matches.swap(next);
  }
  return matches[name.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte splits the rest into the pattern and the name.
  if (size == 0) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = std::min<std::size_t>(data[0], rest.size());
  const std::string_view pattern = rest.substr(0, split);
  const std::string_view name = rest.substr(split);

  FUZZ_CHECK(platform::wildcardMatch(pattern, name) == referenceMatch(pattern, name));

  std::string folded(rest);
  std::transform(folded.begin(), folded.end(), folded.begin(), fold);
  FUZZ_CHECK(platform::wildcardMatch("*.log*", rest) == (folded.find(".log") != std::string::npos));
  return 0;
}
