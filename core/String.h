// Narrow and wide text of the foundation layer.
//
// String is narrow text in UTF-8 (bytes as the file system gives them);
// WString is wide text (UTF-32 where wchar_t has 32 bits, UTF-16 where it
// has 16). Both are standard strings, so everything std::string and
// std::wstring offer works on them; the additions are the chained `<<`
// insertion, splitting, and lossless conversion between the two.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace ovix::core {

class WString;

// The common base of String: a std::string with a non-throwing substr and
// an in-place replace-all.
class BasicString : public std::string {
 public:
  using std::string::string;
  BasicString() = default;
  BasicString(const std::string& s) : std::string(s) {}  // NOLINT(google-explicit-constructor)
  BasicString(std::string&& s) : std::string(std::move(s)) {}  // NOLINT(google-explicit-constructor)

  // Up to `count` characters from `pos`; empty when `pos` lies past the end
  // (never throws, unlike std::string::substr).
  [[nodiscard]] BasicString substr(std::size_t pos, std::size_t count = npos) const;

  // Replaces every occurrence of `what` by `with`, left to right, without
  // rescanning replaced text. An empty `what` changes nothing.
  void replace(const std::string& what, const std::string& with);
};

class String : public BasicString {
 public:
  using BasicString::BasicString;
  String() = default;
  String(const BasicString& s) : BasicString(s) {}  // NOLINT(google-explicit-constructor)
  String(const std::string& s) : BasicString(s) {}  // NOLINT(google-explicit-constructor)

  // Appends text or a number as decimal text; returns *this for chaining.
  String& operator<<(const char* text);
  String& operator<<(const std::string& text);
  String& operator<<(int value);
  String& operator<<(unsigned short value);
  String& operator<<(unsigned int value);
  String& operator<<(unsigned long value);

  // Splits at every occurrence of `delimiter` and appends the pieces, in
  // order, to `pieces`. With `skipEmpty` true, empty pieces (from an empty
  // text, or delimiters at the ends or side by side) are left out, so an
  // empty text yields no piece. An empty delimiter yields the whole text.
  void explode(const std::string& delimiter, std::vector<String>& pieces, bool skipEmpty) const;

  // The text as wide text. Invalid UTF-8 bytes become U+DC80..U+DCFF; where
  // wide text has 32 bits, String::from gives back exactly the same bytes,
  // so every name the platform gives as bytes converts back exactly. The
  // three-byte form of a surrogate becomes that surrogate (except, with
  // 32-bit wide text, U+DC80..U+DCFF, whose form is invalid there).
  [[nodiscard]] WString toWideStr() const;

  // Wide text as UTF-8. With 32-bit wide text, U+DC80..U+DCFF become the
  // single bytes they stand for. Other unpaired surrogates (all of them
  // where wide text is UTF-16) are written in the three-byte form, so that
  // every wide text the platform can give, a UTF-16 name with unpaired
  // surrogates included, converts back exactly.
  static String from(const std::wstring& wide);
};

class WString : public std::wstring {
 public:
  using std::wstring::wstring;
  WString() = default;
  WString(const std::wstring& s) : std::wstring(s) {}  // NOLINT(google-explicit-constructor)
  WString(std::wstring&& s) : std::wstring(std::move(s)) {}  // NOLINT(google-explicit-constructor)

  WString& operator<<(const wchar_t* text);
  WString& operator<<(const std::wstring& text);

  [[nodiscard]] String toStr() const;
  static WString from(const std::string& narrow);
};

// The text with every control character (below 0x20, and 0x7F) written as
// an escape: \n, \r, \t or \xHH; where wide text is UTF-16, also the
// three-byte form of each unpaired surrogate of a name, as \udXXX. Applied
// to every name that goes into the report, so that each entry stays on one
// line, no name can forge a line and the report stays valid UTF-8.
String escapeControls(const std::string& text);

// The same conversions and escaping, appended to a text that the caller
// keeps, so that a loop over many names reuses one buffer instead of making
// a new text for each: appendNarrow(out, w) appends String::from(w),
// appendWide(out, n) appends WString::from(n), appendEscaped(out, t) appends
// escapeControls(t).
void appendNarrow(std::string& out, std::wstring_view wide);
void appendWide(std::wstring& out, std::string_view narrow);
void appendEscaped(std::string& out, std::string_view text);

}  // namespace ovix::core
