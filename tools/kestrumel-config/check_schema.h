#pragma once
// The checks of the tables the program uses, on the connection of the check: their columns
// and the statements, the indexes that make the statements lookups, and the privileges.
#include "kestrumel-config/check_report.h"

CheckResult CheckTables();
CheckResult CheckIndexes();
CheckResult CheckPrivileges();
