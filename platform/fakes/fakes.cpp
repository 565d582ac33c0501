#include "platform/fakes/fakes.h"

#include "platform/launcher.h"

namespace platform::fakes {

void FakeWmi::setServiceRunning(std::optional<int> count)
{
    std::optional<WmiAnswer> a;
    if (count) {
        a = WmiAnswer{};
        for (int i = 0; i < *count; ++i)
            a->items.push_back(WmiObject{{{u"Name", WmiProperty::of(u"openvpnserv.exe")}}});
    }
    answer(u"winmgmts:{impersonationlevel=impersonate}!\\\\.\\root\\cimv2",
           u"Select * from Win32_Process Where Name='openvpnserv.exe'", a);
}

std::optional<WmiAnswer> FakeWmi::execQuery(std::u16string_view moniker, std::u16string_view wql, int flags)
{
    calls.push_back({std::u16string(moniker), std::u16string(wql), flags});
    auto it = answers_.find({std::u16string(moniker), std::u16string(wql)});
    if (it == answers_.end())
        return std::nullopt;
    return it->second;
}

bool FakeLauncher::launch(std::u16string_view commandLine, int windowStyle)
{
    auto args = splitCommandLine(commandLine);
    if (!args.empty() && missingPrograms.count(args.front()) != 0)
        return false;
    launches.push_back({std::u16string(commandLine), windowStyle});
    return true;
}

std::vector<std::u16string> FakeLauncher::commandLines() const
{
    std::vector<std::u16string> out;
    for (const auto& l : launches)
        out.push_back(l.commandLine);
    return out;
}

std::optional<TemporaryFile> ReadOnlyFolder::create(const std::filesystem::path& path)
{
    std::error_code ec;
    if (std::filesystem::weakly_canonical(path.parent_path(), ec) == std::filesystem::weakly_canonical(folder_, ec))
        return std::nullopt;
    return TemporaryFile::create(path);
}

void FakeMessageBoxes::show(std::u16string_view text, int style, std::u16string_view title)
{
    boxes.push_back({std::u16string(text), style, std::u16string(title)});
    if (onShow)
        onShow(boxes.back());
}

} // namespace platform::fakes
