#pragma once
#include "db/pud.h"

#include "db/runtime/runtime.h"

// Type 2: the person's duty plan deleted from the request date on, each counted slot recounted.
void ProcessRangeRequest(const PudRecord& request);
// The same, `first` going out with the handler's first read.
void ProcessRangeRequest(const PudRecord& request, db::SqlSeries& first);
