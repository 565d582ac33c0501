// The client files, config.ovpn and pwd.txt, through the functions both windows use:
// what the parameter window saves, its next opening reads back (port, protocol, server,
// cipher, digest, account, password, code and flags); the account window confirmed
// without a change writes the same pwd.txt again; and the account window opened before
// that save and confirmed after it with a new password keeps what the parameter window
// saved beside it. A save that cannot hold a character changes no file.

#include "config/client_files.h"
#include "fuzz/fuzz_support.h"
#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"

using namespace config;

namespace {

// A field as a line edit holds it: a line end is no part of it.
std::u16string field(const fuzz::Fields& f, std::size_t i)
{
    std::u16string s = f.text(i);
    std::erase(s, u'\n');
    return s;
}

std::string file(const char* name)
{
    return fuzz::readBytes(fuzz::scratch() / name).value_or("<missing>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static bool once = (platform::setAppFolder(fuzz::scratch()), true);
    (void)once;
    fuzz::clearScratch();
    fuzz::Fields f(data, size);
    unsigned flags = f.bytes(0).empty() ? 0 : static_cast<unsigned char>(f.bytes(0)[0]);
    const std::string oldConfig = "port  1194\r\n", oldCredentials = "old\r\n";
    fuzz::writeBytes(fuzz::scratch() / "config.ovpn", oldConfig);
    fuzz::writeBytes(fuzz::scratch() / "pwd.txt", oldCredentials);

    ClientConfig cfg;
    cfg.port = parsePort(field(f, 1)).value_or(1194);
    cfg.proto = protoEntries()[flags & 1];
    cfg.server = field(f, 2);
    cfg.cipher = flags & 8 ? field(f, 3) : cipherEntries()[(flags >> 4) % cipherEntries().size()];
    cfg.digest = flags & 64 ? field(f, 4) : digestEntries()[(flags >> 4) % digestEntries().size()];
    cfg.otp = flags & 2;
    const bool binding = flags & 4;
    const std::u16string user = field(f, 5), password = field(f, 6);
    // The hardware feature code: 32 upper-case hexadecimal digits.
    std::u16string code;
    if (binding) {
        std::string_view seed = f.bytes(7);
        for (std::size_t i = 0; i < 32; ++i)
            code += u"0123456789ABCDEF"[(i < seed.size() ? static_cast<unsigned char>(seed[i]) : i * 7) % 16];
    }

    // The account window, open while the parameter window saves.
    const Credentials accountOpened = loadClientFiles(ClientWindow::Account).credentials;
    const std::u16string accountPassword = field(f, 8);

    std::string detail = "server " + fuzz::show(cfg.server) + " cipher " + fuzz::show(cfg.cipher) + " digest " +
                         fuzz::show(cfg.digest) + " user " + fuzz::show(user) + " password " + fuzz::show(password) +
                         " code " + fuzz::show(code);
    const Credentials opened = loadClientFiles(ClientWindow::Parameters).credentials;
    auto failed = saveClientFiles({ClientWindow::Parameters, cfg, opened,
                                   Credentials{user, password, code, binding ? 1 : 0, cfg.otp ? 1 : 0}});
    // A cipher or digest that is no list entry writes no line.
    bool writable = platform::toAnsi(cfg.server) && platform::toAnsi(user) && platform::toAnsi(password);
    fuzz::check(failed.has_value() != writable, "a save fails exactly when a character cannot be written", detail);
    if (failed) {
        fuzz::check(file("config.ovpn") == oldConfig && file("pwd.txt") == oldCredentials,
                    "a failed save changes neither file", detail);
        return 0;
    }
    detail += "\nconfig.ovpn " + fuzz::show(file("config.ovpn")) + "\npwd.txt " + fuzz::show(file("pwd.txt"));

    const ClientFiles back = loadClientFiles(ClientWindow::Parameters);
    const ClientConfigReadBack& r = back.config;
    fuzz::check(r.port && parsePort(*r.port) == cfg.port, "the port reads back", detail);
    fuzz::check(r.proto && platform::text::toUpperAscii(*r.proto) == cfg.proto, "the protocol reads back", detail);
    fuzz::check(r.server == cfg.server, "the server reads back",
                detail + "\nread " + fuzz::show(r.server.value_or(u"")));
    fuzz::check(!r.cipher || *r.cipher == cfg.cipher, "a cipher read back is the one saved", detail);
    fuzz::check(!r.digest || *r.digest == cfg.digest, "a digest read back is the one saved", detail);
    if (!(flags & 8))
        fuzz::check(r.cipher == cfg.cipher, "a cipher of the list reads back", detail);
    if (!(flags & 8) && !(flags & 64))
        fuzz::check(r.digest == cfg.digest, "a digest of the list reads back", detail);

    const Credentials& c = back.credentials;
    fuzz::check(c.user == user, "the account reads back", detail);
    fuzz::check(c.password == password, "the password reads back whole", detail + "\nread " + fuzz::show(c.password));
    fuzz::check(platform::text::trim(c.code) == code, "the hardware code reads back",
                detail + "\nread " + fuzz::show(c.code));
    fuzz::check(c.hardFlag == (binding ? 1 : 0), "the binding flag reads back", detail);
    fuzz::check(c.otpFlag == (cfg.otp ? 1 : 0), "the dynamic-password flag reads back", detail);

    // The account window opened now and confirmed without a change.
    const std::string saved = file("pwd.txt");
    const Credentials account = loadClientFiles(ClientWindow::Account).credentials;
    fuzz::check(account.hardFlag == c.hardFlag && account.otpFlag == c.otpFlag && account.code == c.code,
                "both windows read the code and the flags alike", detail);
    auto again = saveClientFiles({ClientWindow::Account, {}, account, account});
    fuzz::check(!again && file("pwd.txt") == saved, "a save without a change writes the same pwd.txt",
                detail + "\nwritten again " + fuzz::show(file("pwd.txt")));

    // The account window opened before the parameter window's save, confirmed after it.
    Credentials edited = accountOpened;
    edited.password = accountPassword;
    detail += "\naccount window's password " + fuzz::show(accountPassword);
    auto late = saveClientFiles({ClientWindow::Account, {}, accountOpened, edited});
    fuzz::check(late.has_value() == !platform::toAnsi(accountPassword),
                "the account window's save fails exactly when its password cannot be written", detail);
    if (late) {
        fuzz::check(file("pwd.txt") == saved, "a failed save changes nothing", detail);
        return 0;
    }
    const Credentials after = loadClientFiles(ClientWindow::Parameters).credentials;
    detail += "\npwd.txt " + fuzz::show(file("pwd.txt"));
    fuzz::check(after.user == user, "an account left as it was keeps the other window's", detail);
    fuzz::check(after.password == (accountPassword == accountOpened.password ? password : accountPassword),
                "the password is the one typed last", detail + "\nread " + fuzz::show(after.password));
    fuzz::check(after.code == c.code && after.hardFlag == c.hardFlag && after.otpFlag == c.otpFlag,
                "the other window's code and flags stay", detail);
    return 0;
}
