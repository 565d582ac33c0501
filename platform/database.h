#pragma once
// The database behind the address lookup, as ADO gave it: a connection opened from a
// connection string, and a query whose answer is read at field 0 of its first row.
// Parameters are bound, never pasted into the query text. Failures come back as values
// carrying the driver's diagnostic.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/service.h"

namespace platform {

// A value, or the reason there is none.
template <class T>
class DbResult {
public:
    DbResult(T value) : value_(std::move(value)) {}
    static DbResult failure(std::u16string message)
    {
        DbResult r;
        r.error_ = std::move(message);
        return r;
    }

    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    T* operator->() { return &*value_; }
    // The driver's diagnostic when there is no value.
    const std::u16string& error() const { return error_; }

private:
    DbResult() = default;
    std::optional<T> value_;
    std::u16string error_;
};

// Field 0 of the first row of an answer.
struct FirstField {
    bool hasRow = false;
    // Nothing when the field is NULL (or there is no row).
    std::optional<std::u16string> value;
};

class DbConnection {
public:
    virtual ~DbConnection() = default;
    // Runs the query with its "?" markers bound, in order, to the texts, and reads
    // field 0 of the first row. The answer is released before this returns.
    virtual DbResult<FirstField> firstField(std::u16string_view query, const std::vector<std::u16string>& parameters) = 0;
};

class Database {
public:
    virtual ~Database() = default;
    // Opens a connection from an ADO connection string ("key=value" pairs joined by ";").
    // The connection ends when the object is released.
    virtual DbResult<std::unique_ptr<DbConnection>> connect(std::u16string_view connectionString) = 0;
};

inline Database& database()
{
    return service<Database>();
}

// The connection string that ADO's ODBC provider hands to the driver: the ADO keywords
// become their ODBC names ("User ID" -> UID, "Password" -> PWD), the ones only ADO reads
// are dropped, every other pair passes unchanged.
std::u16string odbcConnectionString(std::u16string_view adoConnectionString);

// The host database: the ODBC driver manager (platform/odbc_database.inc, built by the
// host's database_linux.cpp or database_windows.cpp).
Database& odbcDatabase();

} // namespace platform
