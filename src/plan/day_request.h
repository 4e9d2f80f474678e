#pragma once
#include "db/pud.h"

#include "db/runtime/runtime.h"

// Type 1: the person's day codes into every duty row of the day, each counted slot recounted.
void ProcessDayRequest(const PudRecord& request);
// The same, `first` going out with the handler's first reads.
void ProcessDayRequest(const PudRecord& request, db::SqlSeries& first);
