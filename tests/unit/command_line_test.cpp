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

TEST(CommandLineTest, OptionsAreOnlyTheWordsBeforeTheDayCount) {
  struct Case {
    const char* text;
    bool help, version, dryRun;
    const char* unknown;
    const char* rest;
  };
  const Case cases[] = {
      {"", false, false, false, "", ""},
      {"7 true", false, false, false, "", "7 true"},
      {"-n 7 true", false, false, true, "", "7 true"},
      {"--dry-run  7", false, false, true, "", "7"},
      {"-n", false, false, true, "", ""},
      {"-h", true, false, false, "", ""},
      {"--help 7 true", true, false, false, "", "7 true"},
      {"--version", false, true, false, "", ""},
      {"-n --version --help", true, true, true, "", ""},
      // After the day count an option is one of the ignored further words.
      {"7 -n", false, false, false, "", "7 -n"},
      {"7 true --dry-run", false, false, false, "", "7 true --dry-run"},
      // Words that are no option are read as the day count, as before.
      {"-3 true", false, false, false, "", "-3 true"},
      {"-x 7", false, false, false, "", "-x 7"},
      {"-nh 7", false, false, false, "", "-nh 7"},
      {"\"-n\" 7", false, false, false, "", "\"-n\" 7"},
      {"-n\t7", false, false, false, "", "-n\t7"},
      {"true", false, false, false, "", "true"},
      // "--" ends the options.
      {"-n -- --help 7", false, false, true, "", " --help 7"},
      {"-- 7", false, false, false, "", " 7"},
      // An unknown "--" word stops the reading.
      {"--dry 7", false, false, false, "--dry", ""},
      {"-n --help=all", false, false, true, "--help=all", ""},
      {"--bogus --help", false, false, false, "--bogus", ""},
      {"---n 7", false, false, false, "---n", ""},
  };
  for (const Case& c : cases) {
    const Options o = readOptions(ovix::core::String(c.text));
    EXPECT_EQ(o.help, c.help) << '"' << c.text << '"';
    EXPECT_EQ(o.version, c.version) << '"' << c.text << '"';
    EXPECT_EQ(o.dryRun, c.dryRun) << '"' << c.text << '"';
    EXPECT_EQ(o.unknown, c.unknown) << '"' << c.text << '"';
    if (o.unknown.empty()) {
      EXPECT_EQ(o.rest, c.rest) << '"' << c.text << '"';
    }
  }
}

TEST(CommandLineTest, TheRestReadsAsTheWholeTextReadsWithoutOptions) {
  // Stripping the options must not change how the remaining words are
  // split or read, blanks and tabs included.
  for (const char* rest : {"7 true", "7  true", " 7\ttrue", "2days and more", "\"7\" true", ""}) {
    const std::string text = std::string("-n --dry-run ") + rest;
    const auto expected = splitWords(ovix::core::String(rest));
    EXPECT_EQ(splitWords(readOptions(ovix::core::String(text)).rest), expected) << text;
  }
}
