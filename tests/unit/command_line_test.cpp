#include <gtest/gtest.h>

#include <climits>

#include "clean/CommandLine.h"

TEST(CommandLineTest, DayCountReadsLikeAtoiButSaturates) {
  struct Case { const char* word; int days; };
  const Case cases[] = {
      {"7", 7},          {"3days", 3},       {"abc", 0},           {"0", 0},
      {"-3", -3},        {"+4", 4},          {" \t5", 5},          {"\"7\"", 0},
      {"7\ttrue", 7},    {"", 0},            {"-", 0},             {"007", 7},
      {"2147483647", INT_MAX},               {"2147483648", INT_MAX},
      {"4294967297", INT_MAX},               {"99999999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},              {"-2147483649", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(readDayCount(c.word), c.days) << '"' << c.word << '"';
}

TEST(CommandLineTest, OnlyASecondWordTrueAsksForRotation) {
  struct Case { const char* text; std::size_t words; bool rotate; };
  const Case cases[] = {
      {"", 0, false},           {"7", 1, false},          {"7 true", 2, true},
      {"7 TRUE", 2, false},     {"7 1", 2, false},        {"7 true more", 3, true},
      {"7\ttrue", 1, false},    {"7 \"true\"", 2, false}, {"true", 1, false},
      {"7 truex", 2, false},
  };
  for (const Case& c : cases) {
    const auto words = splitWords(ovix::core::String(c.text));
    EXPECT_EQ(words.size(), c.words) << '"' << c.text << '"';
    EXPECT_EQ(rotationRequested(words), c.rotate) << '"' << c.text << '"';
  }
}
