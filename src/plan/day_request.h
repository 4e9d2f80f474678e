#pragma once
#include "db/pud.h"

// Type 1: the person's day codes into every duty row of the day, each counted slot recounted.
// `request` (its state set by the caller) goes back as the done mark with the first reads.
int ProcessDayRequest(const PudRecord& request);
