#include <gtest/gtest.h>

#include <string>

#include "platform/programname.h"

TEST(ProgramNameTest, TheNameEndsAtABlankOrControlOutsideQuotes) {
  struct Case { std::string line; std::string rest; };
  const Case cases[] = {
      {"cleanlogs.exe 7 true", "7 true"},
      {"cleanlogs.exe", ""},
      {"", ""},
      {"\"C:\\Program Files\\app\\cleanlogs.exe\" 7 true", "7 true"},
      {"C:\\Pro\"gram Fi\"les\\cleanlogs.exe 7", "7"},   // quotes toggle anywhere
      {"\"unclosed name 7 true", ""},                     // all of it is the name
      {"cleanlogs.exe\t \t7\ttrue", "7\ttrue"},          // a tab ends the name too
      {"cleanlogs.exe\x01\x1f 7", "7"},                   // so does any control character
      {"cleanlogs.exe   \"7\" true ", "\"7\" true "},     // the rest is handed over as it is
      {"cleanlogs.exe 7  true", "7  true"},
      {"caf\xc3\xa9.exe 7", "7"},                         // bytes above 127 belong to the name
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::textAfterProgramName(c.line), c.rest) << testing::PrintToString(c.line);
  }
}
