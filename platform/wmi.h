#pragma once
// WMI queries: a moniker, a WQL text and flags give a set of objects with named,
// nullable properties.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/service.h"

namespace platform {

struct WmiProperty {
    enum class State { Value, Null, Unreadable };
    State state = State::Unreadable;
    std::u16string value;

    static WmiProperty of(std::u16string v) { return {State::Value, std::move(v)}; }
    static WmiProperty null() { return {State::Null, {}}; }
    static WmiProperty unreadable() { return {State::Unreadable, {}}; }
    bool hasValue() const { return state == State::Value; }
};

struct WmiObject {
    std::vector<std::pair<std::u16string, WmiProperty>> properties;
    // Property names are matched without regard to case, as WMI does; a name the
    // object does not have cannot be read.
    WmiProperty get(std::u16string_view name) const;
};

struct WmiAnswer {
    std::vector<WmiObject> items;
    // Moving on past the last item listed fails (a walk that breaks off).
    bool walkFails = false;
    std::size_t Count() const { return items.size(); }
};

enum WmiFlags {
    wbemFlagReturnImmediately = 16,
    wbemFlagForwardOnly = 32,
};

class Wmi {
public:
    virtual ~Wmi() = default;
    // Nothing when the moniker or the query is refused (unknown class, malformed text).
    virtual std::optional<WmiAnswer> execQuery(std::u16string_view moniker, std::u16string_view wql, int flags = 0) = 0;
};

inline Wmi& wmi()
{
    return service<Wmi>();
}

} // namespace platform
