#include "platform/nt_service.h"

namespace platform {

// systemd starts the unit's process as the service: there is nothing to connect to.
void connectServiceManager(std::u16string_view) {}

} // namespace platform
