#pragma once
// One place where each outside service is installed: the program installs the host
// implementation at start, a test installs a fake for the length of a scope.

#include <cstdio>
#include <cstdlib>
#include <typeinfo>
#include <utility>

namespace platform {

template <class S>
struct ServiceSlot {
    static inline S* current = nullptr;
};

template <class S>
S& service()
{
    S* s = ServiceSlot<S>::current;
    if (s == nullptr) {
        std::fprintf(stderr, "corvane: no %s installed\n", typeid(S).name());
        std::abort();
    }
    return *s;
}

template <class S>
void installService(S& s)
{
    ServiceSlot<S>::current = &s;
}

template <class S>
bool hasService()
{
    return ServiceSlot<S>::current != nullptr;
}

// Installs a service for the length of a scope and puts back the one before.
template <class S>
class ScopedService {
public:
    explicit ScopedService(S& s) : previous_(std::exchange(ServiceSlot<S>::current, &s)) {}
    ~ScopedService() { ServiceSlot<S>::current = previous_; }
    ScopedService(const ScopedService&) = delete;
    ScopedService& operator=(const ScopedService&) = delete;

private:
    S* previous_;
};

} // namespace platform
