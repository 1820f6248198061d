#include <gtest/gtest.h>

#include <string>

#include "platform/wildcard.h"

TEST(WildcardTest, LogPatternSelectsNamesContainingDotLogInAnyCase) {
  struct Case { const char* name; bool matches; };
  const Case cases[] = {
      {"a.log", true},          {"B.LOG", true},       {"c.Log.1", true},
      {".log", true},           {"x.log.gz", true},    {"a.logfile", true},
      {"20261211.Tarnwick.log", true},                 {"archive.logs.tar", true},
      {"alog", false},          {"a.lo", false},       {"log", false},
      {"a.txt", false},         {"", false},           {"a. log", false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::wildcardMatch("*.log*", c.name), c.matches) << c.name;
}

TEST(WildcardTest, QuestionMarkAndStars) {
  struct Case { const char* pattern; const char* name; bool matches; };
  const Case cases[] = {
      {"?", "a", true},       {"?", "", false},        {"a?c", "abc", true},
      {"a?c", "ac", false},   {"*", "", true},         {"**", "x", true},
      {"a*b*c", "axxbyyc", true},                      {"a*b*c", "axxbyy", false},
      {"*.log", "a.log.1", false},                     {"abc", "ABC", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::wildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " " << c.name;
  }
}

TEST(WildcardTest, ManyStarsStayFast) {
  const std::string name(20000, 'a');
  EXPECT_FALSE(platform::wildcardMatch("*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(platform::wildcardMatch("*a*a*a*a*a*a*a*a*", name));
}
