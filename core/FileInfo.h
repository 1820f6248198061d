// File information of the foundation layer.
#pragma once

#include "core/String.h"

namespace ovix::core {

// What can be asked about a file named by a path.
class AbstractFileInfo {
 public:
  virtual ~AbstractFileInfo() = default;

  // Whether an entry exists at the path itself (a symbolic link is not
  // followed).
  [[nodiscard]] virtual bool exists() const = 0;

  // The creation time in local time as "YYYY-MM-DD HH:MM:SS"; empty when
  // there is no file or no time can be had. Never fails.
  [[nodiscard]] virtual String created() const = 0;

  // The name without its directory; with `withoutExtension`, also without
  // its last extension (from the last "." on, unless the name starts there).
  [[nodiscard]] virtual String baseName(bool withoutExtension) const = 0;

  // The absolute directory of the file, ending in the separator.
  [[nodiscard]] virtual String absolutePath() const = 0;

  // The absolute path the information was made for. It is fixed when the
  // object is made, so it stays valid after the file is renamed away.
  [[nodiscard]] virtual String absoluteFilePath() const = 0;

 protected:
  AbstractFileInfo() = default;
  AbstractFileInfo(const AbstractFileInfo&) = default;
  AbstractFileInfo& operator=(const AbstractFileInfo&) = default;
};

class FileInfo : public AbstractFileInfo {
 public:
  // Making it never fails, whether or not a file exists at `path`.
  explicit FileInfo(const WString& path);

  [[nodiscard]] bool exists() const override;
  [[nodiscard]] String created() const override;
  [[nodiscard]] String baseName(bool withoutExtension) const override;
  [[nodiscard]] String absolutePath() const override;
  [[nodiscard]] String absoluteFilePath() const override;

 private:
  WString path_;
  WString absolute_;
};

}  // namespace ovix::core
