// Md5Hex over 64 MB against md5sum on the same bytes, measured in the same run.
// Prints both throughputs and their ratio; exits 1 when the digests differ or the
// ratio falls below 0.7.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

#include "config/module1.h"
#include "platform/text.h"

namespace {

constexpr std::size_t size = 64u << 20;
constexpr int rounds = 3;

double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

int main()
{
    // ASCII characters, so the text's code page 936 bytes are the file's bytes.
    std::mt19937 rng(936);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(0x20 + rng() % 0x5F);
    std::u16string text(bytes.begin(), bytes.end());

    std::string pattern = (std::filesystem::temp_directory_path() / "md5-bench-XXXXXX").string();
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        std::perror("mkstemp");
        return 1;
    }
    ::close(fd);
    std::ofstream(pattern, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const std::string command = "md5sum '" + pattern + "'";

    double best_md5sum = 1e9, best_ours = 1e9;
    std::string theirs, ours;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        std::FILE* pipe = ::popen(command.c_str(), "r");
        char digest[33] = {};
        std::size_t n = pipe ? std::fread(digest, 1, 32, pipe) : 0;
        if (pipe)
            ::pclose(pipe);
        best_md5sum = std::min(best_md5sum, seconds(std::chrono::steady_clock::now() - t0));
        theirs.assign(digest, n);

        t0 = std::chrono::steady_clock::now();
        ours = platform::text::toUtf8(Module1::Md5Hex(text, 32));
        best_ours = std::min(best_ours, seconds(std::chrono::steady_clock::now() - t0));
    }
    std::filesystem::remove(pattern);

    const double mb = static_cast<double>(size) / 1e6;
    const double ratio = best_md5sum / best_ours;
    std::printf("md5sum: %.0f MB/s  Md5Hex: %.0f MB/s  ratio: %.2f\n", mb / best_md5sum, mb / best_ours, ratio);
    if (ours != theirs) {
        std::printf("digests differ: %s (Md5Hex) %s (md5sum)\n", ours.c_str(), theirs.c_str());
        return 1;
    }
    return ratio >= 0.7 ? 0 : 1;
}
