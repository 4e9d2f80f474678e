#pragma once
// The values the program could not use as written: it would cut or reject them.
#include <string>
#include <vector>

#include "kestrumel-config/config_entries.h"

// One message per refused value; empty when every value can be written.
std::vector<std::string> RefusalsOf(const OperatorValues& values);
