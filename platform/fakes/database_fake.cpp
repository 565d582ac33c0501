#include "platform/fakes/database_fake.h"

namespace platform::fakes {

namespace {

class FakeConnection final : public DbConnection {
public:
    explicit FakeConnection(FakeDatabase& database) : database_(database) {}

    DbResult<FirstField> firstField(std::u16string_view query, const std::vector<std::u16string>& parameters) override
    {
        database_.queries.push_back({std::u16string(query), parameters});
        if (!database_.answer)
            return FirstField{};
        return database_.answer(database_.queries.back());
    }

private:
    FakeDatabase& database_;
};

} // namespace

DbResult<std::unique_ptr<DbConnection>> FakeDatabase::connect(std::u16string_view connectionString)
{
    connectionStrings.emplace_back(connectionString);
    if (!reachable)
        return DbResult<std::unique_ptr<DbConnection>>::failure(u"unreachable");
    return DbResult<std::unique_ptr<DbConnection>>(std::make_unique<FakeConnection>(*this));
}

} // namespace platform::fakes
