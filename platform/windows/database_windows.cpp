// The database through odbc32: its headers take the Windows types as given.
#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include "platform/odbc_database.inc"
