#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "clean/Sweep.h"

namespace fs = std::filesystem;
using ovix::core::String;
using ovix::core::WString;

namespace {

constexpr std::int64_t kLimitSeconds = 1'700'000'000;

void touch(const fs::path& path, std::int64_t seconds, long nanoseconds) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

// The sweep on its own, with a limit of the test's choosing, so that entries
// can lie exactly at it and one tick to either side.
TEST(SweepTest, OnlyEntriesStrictlyBeforeTheLimitExpire) {
  char tmpl[] = "/tmp/sweep_test.XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path dir(tmpl);
  touch(dir / "before.log", kLimitSeconds - 1, 999'999'900);  // one tick before
  touch(dir / "at.log", kLimitSeconds, 0);
  touch(dir / "after.log", kLimitSeconds, 100);
  touch(dir / "old.txt", 1'000, 0);
  fs::create_directory(dir / "dir.log");
  const struct timespec old[2] = {{1'000, 0}, {1'000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (dir / "dir.log").c_str(), old, 0), 0);

  const WString logDir = WString::from(dir.string());
  const WString pattern = WString(logDir) << L"/*.log*";
  platform::FoundEntry current;
  platform::DirectorySearch search = platform::DirectorySearch::open(pattern, current);
  ASSERT_TRUE(search.isOpen());
  String report;
  const int count = sweepExpiredLogs(search, current, pattern, logDir,
                                     platform::fileTimeFromUnix(kLimitSeconds, 0), report,
                                     realRun());

  EXPECT_EQ(count, 2);
  EXPECT_FALSE(search.isOpen());
  EXPECT_FALSE(fs::exists(dir / "before.log"));
  EXPECT_TRUE(fs::exists(dir / "at.log"));
  EXPECT_TRUE(fs::exists(dir / "after.log"));
  EXPECT_TRUE(fs::exists(dir / "old.txt"));
  EXPECT_TRUE(fs::is_directory(dir / "dir.log"));

  const std::string d = dir.string();
  EXPECT_EQ(report.rfind("clean " + d + "/*.log* : delete following files \n", 0), 0U) << report;
  // 1700000000 s after 1970 is 14/11/2023 22:13:20; the tick before shows as :19.
  EXPECT_NE(report.find("before.log[31070023] - 14/11/2023 22:13:19\n"), std::string::npos)
      << report;
  EXPECT_NE(report.find("dir.log[27111905] - 1/1/1970 0:16:40\nDelete : " + d +
                        "/dir.log failed (21)\n"),
            std::string::npos)
      << report;
  EXPECT_EQ(report.find("at.log"), std::string::npos);
  EXPECT_TRUE(report.ends_with("Delete [2] files\n")) << report;
  fs::remove_all(dir);
}
