#pragma once
#include "db/pud.h"

// Type 2: the person's duty plan deleted from the request date on, each counted slot recounted.
// `request`, its state set by the caller, is written back as the request's done mark with the
// first read, in the request's transaction; returns the mark's status.
int ProcessRangeRequest(const PudRecord& request);
