// The command-line text into options, words, the day count and the
// rotation switch.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "clean/CommandLine.h"
#include "fuzz/check.h"

using ovix::core::String;

namespace {

// The day count as the C library reads it (strtoll stops at the first NUL,
// as a C string would), brought into the int range.
int referenceDayCount(const std::string& word) {
  const std::string text = word.c_str();
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const String text(std::string(reinterpret_cast<const char*>(data), size));
  const std::vector<String> words = splitWords(text);

  // The words are the text with its runs of blanks collapsed and its ends
  // trimmed: none is empty, none holds a blank, and joined they give it back.
  std::string collapsed;
  for (const char c : text) {
    if (c != ' ') {
      collapsed.push_back(c);
    } else if (!collapsed.empty() && collapsed.back() != ' ') {
      collapsed.push_back(' ');
    }
  }
  if (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
  std::string joined;
  for (const String& word : words) {
    FUZZ_CHECK(!word.empty());
    FUZZ_CHECK(word.find(' ') == std::string::npos);
    if (!joined.empty()) joined.push_back(' ');
    joined += word;
  }
  FUZZ_CHECK(joined == collapsed);

  FUZZ_CHECK(rotationRequested(words) == (words.size() >= 2 && words[1] == "true"));

  // The options take words from the front only: what is left is the rest
  // of the text, unchanged, and never begins with an option word.
  const Options options = readOptions(text);
  FUZZ_CHECK(text.ends_with(options.rest));
  if (options.unknown.empty()) {
    const std::vector<String> restWords = splitWords(options.rest);
    if (!restWords.empty() && restWords.size() < words.size()) {
      for (const char* option : {"-h", "--help", "--version", "-n", "--dry-run"}) {
        FUZZ_CHECK(restWords.front() != option || words[words.size() - restWords.size() - 1] == "--");
      }
    }
  } else {
    FUZZ_CHECK(options.unknown.starts_with("--"));
  }

  FUZZ_CHECK(readDayCount(text) == referenceDayCount(text));
  for (const String& word : words) FUZZ_CHECK(readDayCount(word) == referenceDayCount(word));
  return 0;
}
