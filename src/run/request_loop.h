#pragma once
#include "run/run_parameters.h"

// Works off the pending requests of the planning group and deletes the finished ones.
void ProcessRequests(const RunParameters& parameters);
