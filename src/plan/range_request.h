#pragma once
#include "db/pud.h"

// Type 2: the person's duty plan deleted from the request date on, each counted slot recounted.
// `request` (its state set by the caller) goes back as the done mark with the first read.
int ProcessRangeRequest(const PudRecord& request);
