#include "support/temp_folder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "platform/codepage.h"
#include "platform/text.h"

namespace testsupport {

TempFolder::TempFolder()
{
    // A new folder of a random name, made by this call alone (create_directory says
    // whether it made it), private to the user as the temporary folder is.
    static std::mt19937_64 random{std::random_device{}()};
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "corvane-test-%016llx", static_cast<unsigned long long>(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(base / name, ec)) {
            path_ = base / name;
            std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    // Undo any read-only folder a test made, so that everything can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempFolder::write(std::string_view name, std::string_view bytes) const
{
    auto p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempFolder::read(std::string_view name) const
{
    std::ifstream in(path_ / name, std::ios::binary);
    if (!in)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempFolder::exists(std::string_view name) const
{
    return std::filesystem::exists(path_ / name);
}

std::string gbk(std::string_view utf8)
{
    auto bytes = platform::toAnsi(platform::text::fromUtf8(utf8));
    if (!bytes)
        throw std::runtime_error("not representable in code page 936");
    return *bytes;
}

} // namespace testsupport
