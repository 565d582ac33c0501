#pragma once
// One copy of a program at a time: a named mutex, made by the first copy and held
// until it ends (the system drops it with the process, a crash included).

#include <string>

#include "platform/system.h"

namespace platform {

// "Local\corvane-<program>", the program being the running executable's file name in
// lower case: one name per program and logon session.
std::u16string instanceMutexName();

class MutexInstances final : public Instances {
public:
    MutexInstances() = default;
    explicit MutexInstances(std::u16string name);
    ~MutexInstances() override;
    MutexInstances(const MutexInstances&) = delete;
    MutexInstances& operator=(const MutexInstances&) = delete;

    // True when the mutex existed before this process asked for it. Once this process
    // holds it, the answer is false for the rest of its life; a mutex that cannot be
    // made answers false, so that the program runs rather than refusing to start.
    bool prevInstance() override;

private:
    std::u16string name_;
    void* mutex_ = nullptr;
};

} // namespace platform
