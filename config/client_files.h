#pragma once
// The client files in the application folder, config.ovpn and pwd.txt, as the parameter
// and the account window load and save them: their names, how much of each is read back,
// who may read them, and what each window's save takes from pwd.txt as it is at the save.

#include <optional>
#include <string>

#include "config/client_config.h"
#include "config/files.h"

namespace config {

enum class ClientWindow {
    Parameters, // config.ovpn and pwd.txt, every value of both
    Account,    // pwd.txt: the account and the password; the code and the flags stay as they are
};

// pwd.txt as a window holds it.
struct Credentials {
    std::u16string user;
    std::u16string password;
    std::u16string code; // before the "+" of line 2; empty when line 2 is the password alone
    long long hardFlag = 0;
    long long otpFlag = 0;
    bool operator==(const Credentials&) const = default;
};

struct ClientFiles {
    ClientConfigReadBack config; // the parameter window's; nothing of it when config.ovpn cannot be opened
    Credentials credentials;
};

// What the window shows at its opening, each file read by that window's rules: the
// parameter window's flags are its check boxes (1 on, 0 off; on for a missing line or
// one that is no number, and so both on without the file), the account window's the
// numbers it writes back (0 for a missing line or no number).
ClientFiles loadClientFiles(ClientWindow window);

struct ClientFilesSave {
    ClientWindow window = ClientWindow::Parameters;
    ClientConfig config; // the parameter window's settings, written whole
    Credentials opened;  // pwd.txt as the window read it at its opening
    // As the window holds them now; the parameter window's code is made afresh, its
    // flags are its boxes.
    Credentials edited;
};

// Saves all or nothing. The account and the password that the user left as the window
// read them, and the account window's code and flags, are taken from pwd.txt as it is at
// the save (by that window's rules), so that a save never undoes what the other window
// saved meanwhile; when pwd.txt cannot be read then, the window's own values count.
std::optional<SaveFailure> saveClientFiles(const ClientFilesSave& save);

// The same; a failure is told by the warning that names the file.
bool saveClientFilesOrWarn(const ClientFilesSave& save);

} // namespace config
