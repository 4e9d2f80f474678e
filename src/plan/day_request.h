#pragma once
#include "db/pud.h"

// Type 1: the person's day codes into every duty row of the day, each counted slot recounted.
// `request`, its state set by the caller, is written back as the request's done mark with the
// first reads, in the request's transaction; returns the mark's status.
int ProcessDayRequest(const PudRecord& request);
