// The database through unixODBC: the ODBC API as its driver manager declares it.
#include <sql.h>
#include <sqlext.h>

#include "platform/odbc_database.inc"
