#pragma once
// The ODBC API as the driver manager here declares it.
#include <sql.h>
#include <sqlext.h>
