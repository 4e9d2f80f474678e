#pragma once
#include "db/pud.h"

// Type 2: the person's duty plan deleted from the request date on, each counted slot recounted.
void ProcessRangeRequest(const PudRecord& request);
