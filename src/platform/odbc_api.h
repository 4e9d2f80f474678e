#pragma once
// The ODBC API. On Windows its headers use the system's types without including <windows.h>
// themselves.
#ifdef _WIN32
#include "platform/windows/win32.h"
#endif
#include <sql.h>
#include <sqlext.h>
