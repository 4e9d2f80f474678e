#pragma once
// The check of the message log a run of the schema would write, seen from the working
// directory the check runs in.
#include <string>

#include "kestrumel-config/check_report.h"

CheckResult CheckLog(const std::string& schema);
