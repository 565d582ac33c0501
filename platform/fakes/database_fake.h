#pragma once
// A database for tests: it records the connections and queries asked for and answers what
// the test scripts. Install it with ScopedService<Database>.

#include <functional>
#include <string>
#include <vector>

#include "platform/database.h"

namespace platform::fakes {

class FakeDatabase final : public Database {
public:
    struct Query {
        std::u16string text;
        std::vector<std::u16string> parameters;
        bool operator==(const Query&) const = default;
    };

    // False: every connect fails.
    bool reachable = true;
    // The answer to each query; unset, a query finds no row.
    std::function<DbResult<FirstField>(const Query&)> answer;

    std::vector<std::u16string> connectionStrings;
    std::vector<Query> queries;

    DbResult<std::unique_ptr<DbConnection>> connect(std::u16string_view connectionString) override;
};

} // namespace platform::fakes
