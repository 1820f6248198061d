#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "core/String.h"
#include "platform/platform.h"

namespace fs = std::filesystem;
using ovix::core::String;
using ovix::core::WString;

// A directory far larger than the search reads at once: every matching
// entry must come exactly once, across all the batches, while the walk
// removes entries behind itself as the sweep does.
TEST(DirectorySearchTest, LargeDirectoryYieldsEveryMatchOnceWhileRemoving) {
  // Long names make large records, so that a few tens of thousands of
  // entries fill several batches.
  constexpr int kEntries = 40'000;
  char tmpl[] = "/tmp/search_test.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir(tmpl);
  std::set<std::string> matching;
  for (int i = 0; i < kEntries; ++i) {
    char name[80];
    const char* suffix = i % 10 == 0 ? "txt" : (i % 2 != 0 ? "LOG.1" : "log");
    (void)std::snprintf(name, sizeof name, "an-entry-with-a-long-name-to-fill-its-batch-%06d.%s", i,
                        suffix);
    const int fd = ::open((dir / name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << name;
    ::close(fd);
    if (i % 10 != 0) matching.insert(name);
  }

  platform::FoundEntry entry;
  platform::DirectorySearch search =
      platform::DirectorySearch::open(WString::from(dir.string()) << L"/*.log*", entry);
  ASSERT_TRUE(search.isOpen());
  std::set<std::string> seen;
  std::set<std::string> kept;
  int duplicates = 0;
  bool removeThis = true;
  do {
    const std::string name = String::from(entry.name);
    if (!seen.insert(name).second) ++duplicates;
    if (removeThis) {
      EXPECT_EQ(search.remove(entry.name, WString::from((dir / name).string())), 0U) << name;
    } else {
      kept.insert(name);
    }
    removeThis = !removeThis;
  } while (search.next(entry));
  search.close();

  EXPECT_EQ(duplicates, 0);
  EXPECT_EQ(seen.size(), matching.size());
  EXPECT_TRUE(seen == matching);
  std::size_t left = 0;
  std::size_t keptLeft = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    ++left;
    keptLeft += kept.count(e.path().filename().string());
  }
  EXPECT_EQ(keptLeft, kept.size());
  EXPECT_EQ(left, kept.size() + kEntries / 10);
  fs::remove_all(dir);
}

// Names of every length up to the longest the file system allows come back
// whole and can be removed by the name the search gave.
TEST(DirectorySearchTest, NamesOfEveryLengthComeBackWhole) {
  char tmpl[] = "/tmp/search_test.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir(tmpl);
  std::set<std::string> names;
  for (std::size_t length = 4; length <= 255; ++length) {
    const std::string name = std::string(length - 4, 'n') + ".log";
    const int fd = ::open((dir / name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << length;
    ::close(fd);
    names.insert(name);
  }
  platform::FoundEntry entry;
  platform::DirectorySearch search =
      platform::DirectorySearch::open(WString::from(dir.string()) << L"/*.log*", entry);
  ASSERT_TRUE(search.isOpen());
  std::set<std::string> seen;
  do {
    seen.insert(String::from(entry.name));
    EXPECT_EQ(search.remove(entry.name, L""), 0U) << entry.name.size();
  } while (search.next(entry));
  EXPECT_TRUE(seen == names);
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}
