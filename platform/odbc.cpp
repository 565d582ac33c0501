// The database through the ODBC driver manager (unixODBC on Linux, odbc32 on
// Windows). Texts cross in UTF-16 through the wide entry points, so the driver does any
// conversion to the server's code page.

// The host's ODBC headers, from platform/linux or platform/windows.
#include "odbc_api.h"

#include <iterator>
#include <utility>

#include "platform/database.h"

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the wide ODBC calls take UTF-16");

namespace platform {

namespace {

// ADO's defaults, so that an unreachable server does not hold the window for long.
constexpr SQLULEN loginTimeoutSeconds = 15;
constexpr SQLULEN queryTimeoutSeconds = 30;

SQLWCHAR* wide(std::u16string& s)
{
    return reinterpret_cast<SQLWCHAR*>(s.data());
}

// Every diagnostic record of the handle, "[state] message", one a line.
std::u16string diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    std::u16string out;
    for (SQLSMALLINT i = 1;; ++i) {
        char16_t state[6] = {};
        char16_t message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN r = SQLGetDiagRecW(type, handle, i, reinterpret_cast<SQLWCHAR*>(state), &native,
                                     reinterpret_cast<SQLWCHAR*>(message), SQLSMALLINT(std::size(message)), &length);
        if (!SQL_SUCCEEDED(r))
            break;
        if (!out.empty())
            out += u'\n';
        out += u'[';
        out += state;
        out += u"] ";
        out += message;
    }
    return out.empty() ? u"the ODBC call failed" : out;
}

class Handle {
public:
    Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_)))
            handle_ = SQL_NULL_HANDLE;
    }
    ~Handle()
    {
        if (handle_ != SQL_NULL_HANDLE)
            SQLFreeHandle(type_, handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
    std::u16string error() const { return diagnostics(type_, handle_); }

private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Field 0 in pieces: a driver may report a long text only as "more to come".
std::optional<std::u16string> readText(SQLHSTMT statement, SQLUSMALLINT column, bool& isNull)
{
    std::u16string value;
    char16_t buffer[256];
    for (;;) {
        SQLLEN indicator = 0;
        SQLRETURN r = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
        if (r == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(r))
            return std::nullopt;
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return value;
        }
        constexpr SQLLEN full = sizeof buffer / sizeof(char16_t) - 1;
        bool truncated = indicator == SQL_NO_TOTAL || indicator / SQLLEN(sizeof(char16_t)) > full;
        value.append(buffer, truncated ? std::size_t(full) : std::size_t(indicator) / sizeof(char16_t));
        if (r == SQL_SUCCESS || !truncated)
            break;
    }
    return value;
}

class OdbcConnection final : public DbConnection {
public:
    explicit OdbcConnection(std::unique_ptr<Handle> connection) : connection_(std::move(connection)) {}
    ~OdbcConnection() override { SQLDisconnect(connection_->get()); }

    DbResult<FirstField> firstField(std::u16string_view query, const std::vector<std::u16string>& parameters) override
    {
        Handle statement(SQL_HANDLE_STMT, connection_->get());
        if (!statement)
            return DbResult<FirstField>::failure(connection_->error());
        SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(queryTimeoutSeconds), 0);

        // The bound buffers must outlive the execution.
        std::vector<std::u16string> values(parameters);
        std::vector<SQLLEN> lengths(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            lengths[i] = SQLLEN(values[i].size() * sizeof(char16_t));
            SQLULEN columnSize = values[i].empty() ? 1 : values[i].size();
            SQLRETURN r = SQLBindParameter(statement.get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR,
                                           SQL_WVARCHAR, columnSize, 0, wide(values[i]), lengths[i], &lengths[i]);
            if (!SQL_SUCCEEDED(r))
                return DbResult<FirstField>::failure(statement.error());
        }

        std::u16string sql(query);
        SQLRETURN r = SQLExecDirectW(statement.get(), wide(sql), SQLINTEGER(sql.size()));
        if (!SQL_SUCCEEDED(r))
            return DbResult<FirstField>::failure(statement.error());
        FirstField field;
        r = SQLFetch(statement.get());
        if (r == SQL_NO_DATA)
            return field;
        if (!SQL_SUCCEEDED(r))
            return DbResult<FirstField>::failure(statement.error());
        field.hasRow = true;
        bool isNull = false;
        auto text = readText(statement.get(), 1, isNull);
        if (!text)
            return DbResult<FirstField>::failure(statement.error());
        if (!isNull)
            field.value = std::move(*text);
        SQLCloseCursor(statement.get());
        return field;
    }

private:
    std::unique_ptr<Handle> connection_;
};

class OdbcDatabase final : public Database {
public:
    DbResult<std::unique_ptr<DbConnection>> connect(std::u16string_view connectionString) override
    {
        using Result = DbResult<std::unique_ptr<DbConnection>>;
        if (!environment_) {
            environment_ = std::make_unique<Handle>(SQL_HANDLE_ENV, SQLHANDLE(SQL_NULL_HANDLE));
            if (*environment_)
                SQLSetEnvAttr(environment_->get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        }
        if (!*environment_)
            return Result::failure(u"no ODBC environment");
        auto connection = std::make_unique<Handle>(SQL_HANDLE_DBC, environment_->get());
        if (!*connection)
            return Result::failure(environment_->error());
        SQLSetConnectAttr(connection->get(), SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(loginTimeoutSeconds), 0);
        std::u16string odbc = odbcConnectionString(connectionString);
        SQLRETURN r = SQLDriverConnectW(connection->get(), nullptr, wide(odbc), SQLSMALLINT(odbc.size()), nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(r))
            return Result::failure(connection->error());
        return Result(std::make_unique<OdbcConnection>(std::move(connection)));
    }

private:
    std::unique_ptr<Handle> environment_;
};

} // namespace

Database& odbcDatabase()
{
    static OdbcDatabase database;
    return database;
}

} // namespace platform
