#include "core/String.h"

#include <charconv>

namespace ovix::core {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

// Invalid bytes of a narrow text are carried in wide text as U+DC00 + byte.
// Where wide text is UTF-16 it is what the platform's names are made of, so
// these code points there are just unpaired surrogates like any other and
// convert to and from their three-byte form: then every wide name
// round-trips, which matters more there than the bytes of invalid narrow
// text, which the platform never hands out.
constexpr bool kWideCarriesBytes = !kWideIsUtf16;
constexpr char32_t kEscapeBase = 0xDC00;
constexpr char32_t kEscapeFirst = 0xDC80;
constexpr char32_t kEscapeLast = 0xDCFF;

template <typename T>
void appendDecimal(std::string& out, T value) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;  // 24 characters hold any 64-bit value
  out.append(buffer, end);
}

// Decodes one UTF-8 sequence at s[i]. Returns its length, or 0 when the
// bytes there do not form a well-formed sequence (or form one of the
// surrogates that stand for escaped bytes where wide text carries bytes,
// which would not round-trip).
std::size_t decodeOne(std::string_view s, std::size_t i, char32_t& cp) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;
  }
  if (s.size() - i < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0u) != 0x80u) return 0;
    cp = (cp << 6) | (byte(k) & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF) return 0;
  if (kWideCarriesBytes && cp >= kEscapeFirst && cp <= kEscapeLast) return 0;
  return length;
}

void putWide(std::wstring& out, char32_t cp) {
  if (kWideIsUtf16 && cp > 0xFFFF) {
    cp -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(cp));
  }
}

void putUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

BasicString BasicString::substr(std::size_t pos, std::size_t count) const {
  if (pos > size()) return {};
  return BasicString(std::string::substr(pos, count));
}

void BasicString::replace(const std::string& what, const std::string& with) {
  if (what.empty()) return;
  std::string result;
  std::size_t from = 0;
  for (std::size_t at = find(what); at != npos; at = find(what, from)) {
    result.append(*this, from, at - from).append(with);
    from = at + what.size();
  }
  if (from == 0) return;
  result.append(*this, from, npos);
  assign(std::move(result));
}

String& String::operator<<(const char* text) {
  if (text != nullptr) append(text);
  return *this;
}
String& String::operator<<(const std::string& text) {
  append(text);
  return *this;
}
String& String::operator<<(int value) {
  appendDecimal(*this, value);
  return *this;
}
String& String::operator<<(unsigned short value) {
  appendDecimal(*this, value);
  return *this;
}
String& String::operator<<(unsigned int value) {
  appendDecimal(*this, value);
  return *this;
}
String& String::operator<<(unsigned long value) {
  appendDecimal(*this, value);
  return *this;
}

void String::explode(const std::string& delimiter, std::vector<String>& pieces,
                     bool skipEmpty) const {
  const auto add = [&](std::size_t from, std::size_t to) {
    if (to > from || !skipEmpty) pieces.emplace_back(std::string(*this, from, to - from));
  };
  if (delimiter.empty()) {
    add(0, size());
    return;
  }
  std::size_t from = 0;
  for (std::size_t at = find(delimiter); at != npos; at = find(delimiter, from)) {
    add(from, at);
    from = at + delimiter.size();
  }
  add(from, size());
}

WString String::toWideStr() const { return WString::from(*this); }

String String::from(const std::wstring& wide) {
  String out;
  appendNarrow(out, wide);
  return out;
}

void appendNarrow(std::string& out, std::wstring_view wide) {
  out.reserve(out.size() + wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    auto cp = static_cast<char32_t>(wide[i]);
    if (kWideIsUtf16) cp &= 0xFFFF;
    if (kWideIsUtf16 && cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size()) {
      const auto low = static_cast<char32_t>(wide[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        putUtf8(out, 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (kWideCarriesBytes && cp >= kEscapeFirst && cp <= kEscapeLast) {
      out.push_back(static_cast<char>(cp - kEscapeBase));
    } else if (cp > 0x10FFFF) {
      // Not a character at all (only possible with 32-bit wchar_t): keep it
      // visible rather than dropping it.
      putUtf8(out, 0xFFFD);
    } else {
      putUtf8(out, cp);
    }
  }
}

WString& WString::operator<<(const wchar_t* text) {
  if (text != nullptr) append(text);
  return *this;
}
WString& WString::operator<<(const std::wstring& text) {
  append(text);
  return *this;
}

String WString::toStr() const { return String::from(*this); }

WString WString::from(const std::string& narrow) {
  WString out;
  appendWide(out, narrow);
  return out;
}

void appendWide(std::wstring& out, std::string_view narrow) {
  out.reserve(out.size() + narrow.size());
  for (std::size_t i = 0; i < narrow.size();) {
    const auto lead = static_cast<unsigned char>(narrow[i]);
    if (lead < 0x80) {
      out.push_back(static_cast<wchar_t>(lead));
      ++i;
      continue;
    }
    char32_t cp = 0;
    if (const std::size_t length = decodeOne(narrow, i, cp); length != 0) {
      putWide(out, cp);
      i += length;
    } else {
      out.push_back(static_cast<wchar_t>(kEscapeBase + lead));
      ++i;
    }
  }
}

String escapeControls(const std::string& text) {
  String out;
  appendEscaped(out, text);
  return out;
}

void appendEscaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    // The three-byte form of an unpaired surrogate (ED A0..BF 80..BF), which
    // only a UTF-16 name gives: shown as a backslash, "u" and four hex digits.
    if (kWideIsUtf16 && byte == 0xED && i + 2 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xE0u) == 0xA0u &&
        (static_cast<unsigned char>(text[i + 2]) & 0xC0u) == 0x80u) {
      const unsigned unit = 0xD000u | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                            (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      out.append("\\u");
      for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(unit >> shift) & 0xFu]);
      i += 2;
      continue;
    }
    if (byte >= 0x20 && byte != 0x7F) {
      out.push_back(c);
      continue;
    }
    out.push_back('\\');
    switch (byte) {
      case '\n': out.push_back('n'); break;
      case '\r': out.push_back('r'); break;
      case '\t': out.push_back('t'); break;
      default:
        out.push_back('x');
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 0xF]);
    }
  }
}

}  // namespace ovix::core
