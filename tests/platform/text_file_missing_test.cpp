// A file that does not exist against one that exists and cannot be read: only the first
// may stand for "nothing set yet".

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/text.h"
#include "platform/text_file.h"
#include "support/temp_folder.h"

TEST(TextFile, OnlyWhatDoesNotExistIsMissing)
{
    testsupport::TempFolder t;
    t.write("file", "x");
    t.write("plain", "x");
    std::filesystem::create_directory(t / "folder");
    std::filesystem::create_symlink(t / "gone", t / "dangling");
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        bool missing;
    } cases[] = {
        {"nothing", true},         {"folder/nothing", true}, {"nothing/nothing", true}, {"file", false},
        {"folder", false},         {"dangling", false},      {"fifo", false},
        {"plain/below", false}, // a file where a folder of the path should be
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::fileIsMissing(platform::text::fromUtf8((t / c.name).string())), c.missing) << c.name;
}
