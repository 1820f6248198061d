// Escaping of names for the report: the result never holds a control byte,
// so a name stays on its one line, and a name without a backslash can be
// read back exactly from it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/String.h"
#include "fuzz/check.h"

namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads the escapes back; false when the text holds one that is not whole.
bool unescape(const std::string& text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'x': {
        if (i + 2 >= text.size()) return false;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name(reinterpret_cast<const char*>(data), size);
  const std::string escaped = ovix::core::escapeControls(name);

  bool hasControl = false;
  for (const char c : name) hasControl = hasControl || isControl(static_cast<unsigned char>(c));
  for (const char c : escaped) FUZZ_CHECK(!isControl(static_cast<unsigned char>(c)));
  if (!hasControl) FUZZ_CHECK(escaped == name);
  FUZZ_CHECK(escaped.size() >= name.size() && escaped.size() <= 4 * name.size());

  if (name.find('\\') == std::string::npos) {
    std::string back;
    FUZZ_CHECK(unescape(escaped, back));
    FUZZ_CHECK(back == name);
  }
  return 0;
}
