#pragma once
// One copy of a program at a time: an exclusive flock on a lock file named after the
// program. The kernel drops the lock when the process ends, a crash included, so a
// stale file never keeps the next copy out.

#include <filesystem>

#include "platform/system.h"

namespace platform {

// XDG_RUNTIME_DIR/<program>.lock, or /tmp/<program>-<uid>.lock without a runtime folder;
// the program is the running executable's file name.
std::filesystem::path instanceLockPath();

class FlockInstances final : public Instances {
public:
    FlockInstances() = default;
    explicit FlockInstances(std::filesystem::path lockFile);
    ~FlockInstances() override;
    FlockInstances(const FlockInstances&) = delete;
    FlockInstances& operator=(const FlockInstances&) = delete;

    // True while another process holds the lock. Once this process holds it, the
    // answer is false for the rest of its life. A lock file that cannot be opened
    // answers false: the program runs rather than refusing to start.
    bool prevInstance() override;

private:
    std::filesystem::path lockFile_;
    int fd_ = -1;
};

} // namespace platform
