#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/FileInfo.h"
#include "platform/platform.h"
#include "rotate/FreshLog.h"
#include "rotate/Rotate.h"

namespace fs = std::filesystem;
using ovix::core::FileInfo;
using ovix::core::String;
using ovix::core::WString;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/rotate_test.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp");
    path_ = tmpl;
  }
  ~TempDir() { fs::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  [[nodiscard]] fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

WString wide(const fs::path& p) { return WString::from(p.string()); }

void setMtime(const fs::path& p, std::int64_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

}  // namespace

TEST(DatedNameTest, BuildsTheNameBesideTheOldOne) {
  struct Case { const char* path; const char* created; const char* expected; };
  const Case cases[] = {
      {"/srv/app/log/httpd_access.log", "2026-12-10 23:59:59", "/srv/app/log/httpd_access_20261210.log"},
      {"/srv/app/log/httpd_error.log", "1999-01-02 00:00:00", "/srv/app/log/httpd_error_19990102.log"},
      {"/srv/app/bin/../log/a.b.log", "2026-12-10", "/srv/app/log/a.b_20261210.log"},
      {"/srv/log/noext", "garbage text", "/srv/log/noext_garbage te.log"},
      {"/srv/log/x.log", "", "/srv/log/x_.log"},
  };
  for (const Case& c : cases) {
    const FileInfo info(WString::from(c.path));
    EXPECT_EQ(datedName(info, dateKeyOf(String(c.created))), c.expected) << c.path;
  }
}

TEST(FileInfoTest, RelativePathsBecomeAbsoluteOnceAndForAll) {
  const fs::path cwd = fs::current_path();
  const FileInfo info(WString(L"../log/httpd_access.log"));
  EXPECT_EQ(info.absoluteFilePath(), (cwd.parent_path() / "log/httpd_access.log").string());
  EXPECT_EQ(info.absolutePath(), (cwd.parent_path() / "log/").string());
  EXPECT_EQ(info.baseName(true), "httpd_access");
  EXPECT_EQ(info.baseName(false), "httpd_access.log");
}

TEST(FileInfoTest, CreatedPrefersTheStampThenTheBirthTimeThenTheLastWrite) {
  TempDir dir;
  std::ofstream(dir / "stamped.log") << "x";
  std::ofstream(dir / "plain.log") << "x";
  setMtime(dir / "plain.log", std::int64_t{86'400} * 365);
  // 2020-02-29 12:00:00 UTC as ticks; shown in local time.
  const std::string ticks = std::to_string((1'582'977'600LL + 11'644'473'600LL) * 10'000'000LL);
  ASSERT_EQ(setxattr((dir / "stamped.log").c_str(), "user.cleanlogs.created", ticks.data(),
                     ticks.size(), 0),
            0);
  const std::time_t stampSeconds = 1'582'977'600;
  char expected[32];
  (void)std::strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S",
                      std::localtime(&stampSeconds));
  EXPECT_EQ(FileInfo(wide(dir / "stamped.log")).created(), expected);

  // Without a stamp: the birth time (just now), not the older last write.
  const std::time_t now = std::time(nullptr);
  char today[16];
  (void)std::strftime(today, sizeof today, "%Y-%m-%d", std::localtime(&now));
  const String plain = FileInfo(wide(dir / "plain.log")).created();
  platform::FILETIME birth;
  ASSERT_TRUE(platform::creationTime(wide(dir / "plain.log"), birth));
  const std::uint64_t plainWritten =
      platform::toTicks(platform::fileTimeFromUnix(std::int64_t{86'400} * 365, 0));
  if (platform::toTicks(birth) > plainWritten) {
    EXPECT_EQ(plain.substr(0, 10), today);
  } else {
    EXPECT_EQ(plain.substr(0, 10), "1971-01-01");  // a file system without birth times
  }

  // No file: empty, no failure.
  EXPECT_EQ(FileInfo(wide(dir / "missing.log")).created(), "");
  EXPECT_FALSE(FileInfo(wide(dir / "missing.log")).exists());
}

TEST(FileInfoTest, ExistsLooksAtALinkItself) {
  TempDir dir;
  fs::create_symlink("nowhere", dir / "dangling.log");
  EXPECT_TRUE(FileInfo(wide(dir / "dangling.log")).exists());
}

TEST(FreshLogTest, TruncatesAFileThatAppearedAndStampsIt) {
  TempDir dir;
  std::ofstream(dir / "httpd_access_20261210.log") << "rotated";
  std::ofstream(dir / "httpd_access.log") << "appeared meanwhile";
  String report;
  recreateLogFile(String((dir / "httpd_access.log").string()),
                  String((dir / "httpd_access_20261210.log").string()), report);
  EXPECT_EQ(report, "");
  EXPECT_EQ(fs::file_size(dir / "httpd_access.log"), 0U);
  char value[32] = {};
  EXPECT_GT(getxattr((dir / "httpd_access.log").c_str(), "user.cleanlogs.created", value,
                     sizeof value - 1),
            0);
  // The stamp has millisecond resolution.
  EXPECT_EQ(std::strtoull(value, nullptr, 10) % 10'000, 0U) << value;
}

TEST(FreshLogTest, APlantedLinkOrSecondNameIsRefusedAndItsTargetKept) {
  struct Case { const char* what; bool hardLink; };
  for (const Case& c : {Case{"symbolic link", false}, Case{"hard link", true}}) {
    TempDir dir;
    std::ofstream(dir / "precious") << "precious";
    std::ofstream(dir / "rotated.log") << "rotated";
    if (c.hardLink) {
      fs::create_hard_link(dir / "precious", dir / "live.log");
    } else {
      fs::create_symlink(dir / "precious", dir / "live.log");
    }
    const String path((dir / "live.log").string());
    String report;
    recreateLogFile(path, String((dir / "rotated.log").string()), report);
    EXPECT_EQ(report, "Failed to create file [" + path + "]\n") << c.what;
    std::ifstream in(dir / "precious");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious") << c.what;
  }
}

TEST(RenameTest, NeverReplacesAnExistingName) {
  TempDir dir;
  std::ofstream(dir / "a.log") << "a";
  std::ofstream(dir / "b.log") << "b";
  EXPECT_EQ(platform::renameNoReplace(wide(dir / "a.log"), wide(dir / "b.log")),
            static_cast<platform::ErrorCode>(EEXIST));
  EXPECT_TRUE(fs::exists(dir / "a.log"));
  EXPECT_EQ(platform::renameNoReplace(wide(dir / "a.log"), wide(dir / "c.log")), 0U);
  EXPECT_FALSE(fs::exists(dir / "a.log"));
  EXPECT_TRUE(fs::exists(dir / "c.log"));
}
