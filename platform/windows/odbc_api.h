#pragma once
// The ODBC API of odbc32: its headers take the Windows types as given.
#include <windows.h>

#include <sql.h>
#include <sqlext.h>
