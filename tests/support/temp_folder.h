#pragma once
// A temporary folder for one test, removed with everything in it at the end.

#include <filesystem>
#include <string>
#include <string_view>

namespace testsupport {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes bytes exactly as given (no line-end conversion); creates parent folders.
    void write(std::string_view name, std::string_view bytes) const;
    // The file's bytes; "<missing>" when there is no such file.
    std::string read(std::string_view name) const;
    bool exists(std::string_view name) const;

private:
    std::filesystem::path path_;
};

// Code page 936 bytes of a UTF-8 literal, for building expected file contents.
std::string gbk(std::string_view utf8);

} // namespace testsupport
