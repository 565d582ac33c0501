#pragma once
// A small WQL evaluator: SELECT * or a list of properties, FROM one class, and an
// optional WHERE with =, <>, IS [NOT] NULL, AND, OR and brackets over single-quoted
// strings. Keywords, class and property names, and string comparisons ignore case, as
// WMI's do. A comparison with a null property is false, whichever the operator.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wmi.h"

namespace platform::wql {

struct ClassSchema {
    std::u16string name;
    std::vector<std::u16string> properties;
};

// Where the objects come from.
class Source {
public:
    virtual ~Source() = default;
    virtual const std::vector<ClassSchema>& classes() const = 0;
    // Every instance of the class, in the order WMI would list them. Each object holds
    // the properties of the schema, spelt as the schema spells them.
    virtual std::vector<WmiObject> instances(const ClassSchema& cls) = 0;
};

// Nothing when the query is malformed or names a class or property the source lacks.
std::optional<WmiAnswer> execute(std::u16string_view query, Source& source);

} // namespace platform::wql
