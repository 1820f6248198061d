#include <gtest/gtest.h>

#include <random>

#include "core/String.h"

using ovix::core::BasicString;
using ovix::core::escapeControls;
using ovix::core::String;
using ovix::core::WString;

TEST(StringTest, InsertsTextAndNumbersAsDecimal) {
  String s;
  s << "a" << std::string("b") << -42 << static_cast<unsigned short>(65535) << 4294967295U
    << 7UL;
  EXPECT_EQ(s, "ab-42655354294967295" "7");
}

TEST(StringTest, SubstrNeverThrowsAndReplaceReplacesEveryOccurrence) {
  const BasicString s("2026-12-11 08:00:00");
  EXPECT_EQ(s.substr(0, 10), "2026-12-11");
  EXPECT_EQ(s.substr(99, 10), "");
  EXPECT_EQ(s.substr(0, 999), s);

  struct Case { const char* text; const char* what; const char* with; const char* expected; };
  for (const Case& c : {Case{"2026-12-11", "-", "", "20261211"},
                        Case{"aaa", "a", "aa", "aaaaaa"},
                        Case{"abc", "", "x", "abc"},
                        Case{"", "-", "", ""}}) {
    BasicString t(c.text);
    t.replace(c.what, c.with);
    EXPECT_EQ(t, c.expected) << c.text;
  }
}

TEST(StringTest, ExplodeSkipsEmptyPiecesWhenAsked) {
  struct Case { const char* text; bool skip; std::vector<std::string> expected; };
  const Case cases[] = {
      {"", true, {}},
      {"", false, {""}},
      {"7 true", true, {"7", "true"}},
      {"  7   true  more ", true, {"7", "true", "more"}},
      {"7  true", false, {"7", "", "true"}},
      {"7\ttrue", true, {"7\ttrue"}},
  };
  for (const Case& c : cases) {
    std::vector<String> pieces;
    String(c.text).explode(" ", pieces, c.skip);
    EXPECT_EQ(std::vector<std::string>(pieces.begin(), pieces.end()), c.expected)
        << '"' << c.text << '"';
  }
}

TEST(TextConversionTest, KnownTextsConvertBothWays) {
  struct Case { std::string narrow; std::wstring wide; };
  const Case cases[] = {
      {"", L""},
      {"httpd_access.log", L"httpd_access.log"},
      {"caf\xc3\xa9", L"caf\u00e9"},
      {"\xe2\x82\xac", L"\u20ac"},
      {"\xf0\x9f\x93\x9c", L"\U0001F4DC"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WString::from(c.narrow), c.wide) << c.narrow;
    EXPECT_EQ(String::from(c.wide), c.narrow) << c.narrow;
  }
}

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

TEST(TextConversionTest, InvalidUtf8RoundTripsExactly) {
  if (kWideIsUtf16) GTEST_SKIP() << "names are UTF-16 here; the next test covers them";
  const std::string cases[] = {
      "\xff\xfe.log",        // bytes that never start a sequence
      "\xc3",                // truncated sequence
      "\xc0\xaf",            // overlong encoding of '/'
      "\xed\xa0\x80",        // an encoded surrogate
      "\xed\xb2\x80",        // the encoding of an escape code point itself
      "\xf4\x90\x80\x80",    // beyond U+10FFFF
      "ok\x80\xc3\xa9\xe2\x82",
  };
  for (const std::string& c : cases) {
    EXPECT_EQ(String::from(WString::from(c)), c) << testing::PrintToString(c);
  }
  // Every byte string round-trips, not only the ones thought of above.
  std::mt19937 random(20261211);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible
  for (int i = 0; i < 20000; ++i) {
    std::string bytes(random() % 12, '\0');
    for (char& b : bytes) b = static_cast<char>(random() % 256);
    ASSERT_EQ(String::from(WString::from(bytes)), bytes) << testing::PrintToString(bytes);
  }
}

TEST(TextConversionTest, EveryUtf16NameRoundTripsExactly) {
  if (!kWideIsUtf16) GTEST_SKIP() << "names are bytes here; the test above covers them";
  const std::wstring cases[] = {
      {0xDCC3, 0xDCA9},                   // unpaired, yet their low bytes spell "é" in UTF-8
      {0xDCE2, 0xDC82, 0xDCAC, L'.'},     // ... and "€"
      {0xDCED, 0xDCA0, 0xDC80},           // ... and the form of an unpaired U+D800
      {0xD800},                           // a lone high surrogate
      {L'a', 0xDBFF, L'.', L'l'},
      {0xDC00, 0xD800},                   // the wrong order is no pair
      {0xD800, 0xD800, 0xDC00},           // a lone one before a pair
      {0xD83D, 0xDCDC},                   // a real pair
  };
  for (const std::wstring& c : cases) {
    EXPECT_EQ(WString::from(String::from(c)), c) << testing::PrintToString(String::from(c));
  }
  // Every sequence of 16-bit units round-trips, weighted towards surrogates.
  std::mt19937 random(20261211);  // NOLINT(cert-msc32-c,cert-msc51-cpp): reproducible
  for (int i = 0; i < 20000; ++i) {
    std::wstring units(random() % 8, L'\0');
    for (wchar_t& u : units) {
      u = static_cast<wchar_t>(random() % 2 == 0 ? 0xD800 + random() % 0x800 : random() % 0x10000);
    }
    ASSERT_EQ(WString::from(String::from(units)), units);
  }
}

TEST(TextConversionTest, EscapeControlsKeepsEachNameOnOneLine) {
  struct Case { std::string text; std::string expected; };
  const Case cases[] = {
      {"plain.log", "plain.log"},
      {"a\nDelete [0] files\n.log", "a\\nDelete [0] files\\n.log"},
      {"tab\there\r", "tab\\there\\r"},
      {"\x1b[31mred.log", "\\x1b[31mred.log"},
      {std::string("nul\0.log", 8), "nul\\x00.log"},
      {"del\x7f", "del\\x7f"},
      {"caf\xc3\xa9 \xff", "caf\xc3\xa9 \xff"},
  };
  for (const Case& c : cases) EXPECT_EQ(escapeControls(c.text), c.expected);
}

TEST(TextConversionTest, UnpairedSurrogatesOfANameAreShownEscaped) {
  // Where names are UTF-16, an unpaired surrogate is escaped like a control
  // character; where names are bytes, those bytes are just invalid UTF-8 and
  // stay as they are, like any other.
  const std::wstring name = {L'a', 0xD800, L'b', 0xDCA9, L'.', 0xD83D, 0xDCDC};
  const std::string narrow = String::from(name);
  const std::string shown = kWideIsUtf16 ? "a\\ud800b\\udca9.\xf0\x9f\x93\x9c" : narrow;
  EXPECT_EQ(escapeControls(narrow), shown);
}
