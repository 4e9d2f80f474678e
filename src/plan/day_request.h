#pragma once
#include "db/pud.h"

// Type 1: the person's day codes into every duty row of the day, each counted slot recounted.
void ProcessDayRequest(const PudRecord& request);
