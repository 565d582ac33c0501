#include "platform/system.h"

#include <utility>

namespace platform {

namespace {
std::u16string& help()
{
    static std::u16string h;
    return h;
}
} // namespace

void setHelpFile(std::u16string path)
{
    help() = std::move(path);
}

std::u16string helpFile()
{
    return help();
}

} // namespace platform
