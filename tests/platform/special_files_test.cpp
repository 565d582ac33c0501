// What stands at a path may be no regular file: a FIFO, a socket, a device or a folder.
// Every read takes it for a file that cannot be opened, and none of them waits.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "console/log_view.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "platform/text_file.h"
#include "support/last_lines.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// One of each kind beside one another in a temporary folder.
struct SpecialFiles {
    testsupport::TempFolder t;
    int socket = -1;

    SpecialFiles()
    {
        EXPECT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
        fs::create_directory(t / "folder");
        socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (t / "socket").string();
        std::copy(path.begin(), path.end(), address.sun_path);
        EXPECT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~SpecialFiles() { ::close(socket); }

    std::vector<std::string> paths() const
    {
        return {(t / "fifo").string(), (t / "socket").string(), (t / "folder").string(), "/dev/null"};
    }

    // A FIFO without a writer holds an open that waits for one for good: when `reads`
    // has not ended after a while, the test fails and a writer comes to end the wait.
    void withoutWaiting(const std::function<void()>& reads) const
    {
        auto done = std::async(std::launch::async, reads);
        if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "a read waited for a writer of the FIFO";
            ::close(::open((t / "fifo").c_str(), O_WRONLY | O_NONBLOCK));
        }
        done.get();
    }
};

struct CountingGrid : console::LogGrid {
    int written = 0;
    std::vector<std::u16string> messages = std::vector<std::u16string>(console::LogLastRow + 1);
    void setRow(int row, const console::LogRow& cells) override
    {
        ++written;
        messages[row] = cells.message;
    }
    void clearRowsFrom(int) override { ++written; }
    void moveRowsUp(int) override { ++written; }
    std::uint64_t revision() const override { return static_cast<std::uint64_t>(written); }
    void setLogInterval(int) override {}
};

} // namespace

TEST(SpecialFiles, TheTextFileReadsCannotOpenThem)
{
    SpecialFiles s;
    s.withoutWaiting([&] {
        for (const auto& path : s.paths()) {
            SCOPED_TRACE(path);
            const std::u16string p = platform::text::fromUtf8(path);
            EXPECT_FALSE(platform::TextReader::open(p));
            EXPECT_FALSE(platform::readFileBytes(p));
            EXPECT_FALSE(testsupport::readLastLines(p, 9999));
            EXPECT_FALSE(platform::regularFileStamp(path));
            EXPECT_FALSE(platform::InputFile::open(path));
        }
    });
}

TEST(SpecialFiles, ALogTickChangesNothingAndAFileLaterInTheirPlaceIsShown)
{
    SpecialFiles s;
    for (const auto& path : s.paths()) {
        SCOPED_TRACE(path);
        const std::u16string p = platform::text::fromUtf8(path);
        console::LogView view(p);
        CountingGrid grid;
        s.withoutWaiting([&] { view.refresh(grid); });
        EXPECT_EQ(grid.written, 0);
        if (path == "/dev/null")
            continue;
        fs::remove(path);
        s.t.write(fs::path(path).filename().string(), "Wed Dec 09 08:09:11 2026 now a file\r\n");
        view.refresh(grid);
        EXPECT_EQ(grid.messages[1], u" now a file");
    }
}
