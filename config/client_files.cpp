#include "config/client_files.h"

#include <string_view>
#include <vector>

#include "config/credentials.h"

namespace config {

namespace {

constexpr std::u16string_view configName = u"config.ovpn";
constexpr std::u16string_view credentialsName = u"pwd.txt";
// The openings read the configuration's port, protocol, server, cipher and digest lines,
// and the credentials without their legend.
constexpr std::size_t configLinesRead = 5;
constexpr std::size_t credentialsLinesRead = 4;

Credentials credentialsFrom(const std::vector<std::u16string>& lines, ClientWindow window)
{
    const StoredCredentials stored = readBackCredentials(lines);
    Credentials c;
    if (window == ClientWindow::Parameters) {
        c.hardFlag = checkBoxFromFlagLine(stored.hardFlag) ? 1 : 0;
        c.otpFlag = checkBoxFromFlagLine(stored.otpFlag) ? 1 : 0;
    } else {
        c.hardFlag = flagFromLine(stored.hardFlag);
        c.otpFlag = flagFromLine(stored.otpFlag);
    }
    c.user = stored.user.value_or(u"");
    if (stored.passwordLine) {
        // Line 2 in the form that line 3, written back with it, says it has.
        auto line = splitPasswordLine(*stored.passwordLine, c.hardFlag == 1);
        c.password = std::move(line.password);
        c.code = std::move(line.code);
    }
    return c;
}

// Nothing when pwd.txt cannot be opened.
std::optional<Credentials> readCredentials(ClientWindow window)
{
    auto lines = readLines(appFile(credentialsName), credentialsLinesRead);
    if (!lines)
        return std::nullopt;
    return credentialsFrom(*lines, window);
}

std::vector<FileLines> filesToSave(const ClientFilesSave& save)
{
    Credentials c = save.edited;
    if (auto now = readCredentials(save.window)) {
        if (c.user == save.opened.user)
            c.user = now->user;
        if (c.password == save.opened.password)
            c.password = now->password;
        if (save.window == ClientWindow::Account) {
            c.code = now->code;
            c.hardFlag = now->hardFlag;
            c.otpFlag = now->otpFlag;
        }
    }
    std::vector<FileLines> files;
    if (save.window == ClientWindow::Parameters)
        files.push_back({std::u16string(configName), clientConfigLines(save.config), platform::FileAccess::Shared});
    files.push_back({std::u16string(credentialsName),
                     credentialsLines(c.user, passwordLine(c.code, c.password), c.hardFlag, c.otpFlag),
                     platform::FileAccess::OwnerOnly});
    return files;
}

} // namespace

ClientFiles loadClientFiles(ClientWindow window)
{
    ClientFiles files;
    if (window == ClientWindow::Parameters)
        if (auto lines = readLines(appFile(configName), configLinesRead))
            files.config = readBackClientConfig(*lines);
    files.credentials = readCredentials(window).value_or(credentialsFrom({}, window));
    return files;
}

std::optional<SaveFailure> saveClientFiles(const ClientFilesSave& save)
{
    return saveFiles(filesToSave(save));
}

bool saveClientFilesOrWarn(const ClientFilesSave& save)
{
    return saveOrWarn(filesToSave(save));
}

} // namespace config
