// Temporary files for tests; everything is removed with the TempDir.
#pragma once

#include <filesystem>
#include <string>

namespace svftest {

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `content` as binary (no line-end translation) and returns the path.
    std::string Write(const std::string& name, const std::string& content) const;
    std::string PathOf(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Whole file as binary; empty when missing.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// `text` with the first `from` replaced by `to`; a test failure when `from`
// is missing (the fixture would not say what the test means).
std::string ReplaceOnce(std::string text, const std::string& from, const std::string& to);

// The platform's text-mode line end ("\r\n" on Windows, "\n" elsewhere).
std::string TextLines(const std::string& lfText);

}  // namespace svftest
