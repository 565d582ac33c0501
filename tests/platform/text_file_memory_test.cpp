// What reading a file of a huge line costs in memory: the line cap and the tail bound keep
// every allocation small, not only the lines right. This program counts the largest
// allocation made through operator new while a read runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>

#include "console/log_view.h"
#include "platform/host_paths.h"
#include "platform/text_file.h"
#include "support/last_lines.h"
#include "support/temp_folder.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<std::size_t> largest{0};

void* allocate(std::size_t size)
{
    if (counting) {
        std::size_t seen = largest;
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

// The largest single allocation that `read` makes.
std::size_t largestAllocation(const std::function<void()>& read)
{
    largest = 0;
    counting = true;
    read();
    counting = false;
    return largest;
}

struct NoGrid : console::LogGrid {
    void setRow(int, const console::LogRow&) override {}
    void clearRowsFrom(int) override {}
    void moveRowsUp(int) override {}
    std::uint64_t revision() const override { return 0; }
    void setLogInterval(int) override {}
};

} // namespace

TEST(TextFileMemory, AHundredMegabyteLineIsNeverHeldWhole)
{
    // A sparse file: one line of 100 MB (NULs) between two short ones.
    testsupport::TempFolder t;
    const auto file = t / "huge.log";
    t.write("huge.log", "first\r\n");
    std::filesystem::resize_file(file, 100'000'000);
    std::ofstream(file, std::ios::binary | std::ios::app) << "\r\nlast\r\n";
    const std::u16string path = platform::pathText(file);

    // Line by line: a block at a time, and of the huge line only its first bytes.
    std::size_t lines = 0;
    const std::size_t byLine = largestAllocation([&] {
        auto reader = platform::TextReader::open(path);
        ASSERT_TRUE(reader);
        std::u16string line;
        while (reader->readLine(line))
            ++lines;
    });
    EXPECT_EQ(lines, 3u);
    EXPECT_LT(byLine, 256u * 1024);

    // From the end: never more than the tail's reach.
    const std::size_t tailBound = platform::MaxTailBytes + 256 * 1024;
    EXPECT_LT(largestAllocation([&] { EXPECT_TRUE(testsupport::readLastLines(path, 9999)); }), tailBound);
    EXPECT_LT(largestAllocation([&] {
                  NoGrid grid;
                  console::LogView(path).refresh(grid);
              }),
              tailBound);
    // Whole: refused, and not read first.
    EXPECT_LT(largestAllocation([&] { EXPECT_FALSE(platform::readFileBytes(path)); }), 256u * 1024);
}
