#pragma once
// One copy of a program at a time: an exclusive flock on a lock file named after the
// program. The kernel drops the lock when the process ends, a crash included, so a
// stale file never keeps the next copy out.

#include <filesystem>
#include <vector>

#include "platform/system.h"

namespace platform {

// Where the lock may live, in the order tried: XDG_RUNTIME_DIR/<program>.lock (when
// set), /tmp/<program>-<uid>.lock, then .<program>.lock in the user's home folder,
// which no other user can write. The program is the running executable's file name.
std::vector<std::filesystem::path> instanceLockPlaces();

class FlockInstances final : public Instances {
public:
    FlockInstances() = default;
    explicit FlockInstances(std::vector<std::filesystem::path> places);
    ~FlockInstances() override;
    FlockInstances(const FlockInstances&) = delete;
    FlockInstances& operator=(const FlockInstances&) = delete;

    // True while another process holds the lock. Once this process holds it, the
    // answer is false for the rest of its life. A place whose file cannot be opened
    // (a missing or read-only folder), is no regular file or belongs to another user
    // is passed over for the next one: another user's file must not end our program.
    // Where no place serves, the answer is false: the program runs rather than never.
    bool prevInstance() override;

    // The lock file this process holds; empty while it holds none.
    const std::filesystem::path& heldLock() const { return held_; }

private:
    std::vector<std::filesystem::path> places_;
    std::filesystem::path held_;
    int fd_ = -1;
};

} // namespace platform
