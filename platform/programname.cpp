#include "platform/programname.h"

#include <cstddef>

namespace platform {

std::string_view textAfterProgramName(std::string_view commandLine) {
  const auto code = [&](std::size_t i) { return static_cast<unsigned char>(commandLine[i]); };
  std::size_t i = 0;
  bool quoted = false;
  for (; i < commandLine.size(); ++i) {
    if (code(i) == '"') {
      quoted = !quoted;
    } else if (!quoted && code(i) <= 32) {
      break;
    }
  }
  while (i < commandLine.size() && code(i) >= 1 && code(i) <= 32) ++i;
  return commandLine.substr(i);
}

}  // namespace platform
