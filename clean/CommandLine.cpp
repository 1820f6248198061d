#include "clean/CommandLine.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "clean/Version.h"

using ovix::core::String;

Options readOptions(const String& commandLine) {
  Options options;
  std::size_t at = 0;
  while (true) {
    // Words are separated by single blanks; runs of them give no word.
    while (at < commandLine.size() && commandLine[at] == ' ') ++at;
    const std::size_t end = std::min(commandLine.find(' ', at), commandLine.size());
    const std::string_view word = std::string_view(commandLine).substr(at, end - at);
    if (word == "-h" || word == "--help") {
      options.help = true;
    } else if (word == "--version") {
      options.version = true;
    } else if (word == "-n" || word == "--dry-run") {
      options.dryRun = true;
    } else if (word == "--") {
      at = end;
      break;
    } else if (word.starts_with("--")) {
      options.unknown = word;
      break;
    } else {
      break;
    }
    at = end;
  }
  options.rest = String(commandLine.substr(at));
  return options;
}

const char* usageText() {
  return "Usage: cleanlogs [OPTION]... [DAYS [true]]\n"
         "\n"
         "Run from the installation's bin/ directory, beside ../log. Deletes every\n"
         "entry of ../log whose name contains \".log\" (in any case) and that was last\n"
         "written more than DAYS days ago (default 2; a day counts 23 h 55 min 57 s).\n"
         "With the second word \"true\" it first renames each of httpd_access.log,\n"
         "httpd_error.log and httpd_relay.log that was created on an earlier day to a\n"
         "dated name and leaves a fresh empty log in its place. The report of the run\n"
         "goes to a new file ../log/<unique>Tarnwick.log.\n"
         "\n"
         "Options, recognised only before DAYS:\n"
         "  -n, --dry-run  change nothing; print the report the run would write\n"
         "  -h, --help     print this help and exit\n"
         "      --version  print the version and exit\n"
         "\n"
         "Exit status: the number of entries the run tried to delete (254 for 254 or\n"
         "more); 255 for an invalid DAYS, an unknown option or a ../log without a\n"
         "matching entry.\n";
}

std::string versionText() { return std::string("cleanlogs ") + CLEANLOGS_VERSION + "\n"; }

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
