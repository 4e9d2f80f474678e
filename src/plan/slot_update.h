#pragma once
// The staffing work both request handlers do for a duty row that counts.
#include "db/bdp.h"

// Reads the staffing row of the duty row's slot, recounts it and records its deviation. A slot
// whose staffing row cannot be read is reported and left alone: neither a recount nor a check
// may run on values that were never read for it.
void UpdateSlotOfRow(const BdpRecord& row);
