#include "clean/CommandLine.h"

#include <climits>

using ovix::core::String;

std::vector<String> splitWords(const String& commandLine) {
  std::vector<String> words;
  commandLine.explode(" ", words, true);
  return words;
}

int readDayCount(const std::string& word) {
  std::size_t i = 0;
  const auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < word.size() && isSpace(word[i])) ++i;
  bool negative = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
  // Accumulate towards the sign's limit so that INT_MIN itself reads exactly.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long value = 0;
  for (; i < word.size() && word[i] >= '0' && word[i] <= '9'; ++i) {
    value = value * 10 + (word[i] - '0');
    if (value >= limit) {
      value = limit;
      break;
    }
  }
  return static_cast<int>(negative ? -value : value);
}

bool rotationRequested(const std::vector<String>& words) {
  return words.size() >= 2 && words[1] == "true";
}
