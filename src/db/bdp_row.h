#pragma once
// The transfer buffers of one duty-plan row, shared by the day walk, its write-back and the
// range walk, and the select list both walks fetch.
#include "db/bdp.h"
#include "db/runtime/runtime.h"

// Texts as wide as the statements announce them to the database. BdpDat, which no statement
// carries, stays unused.
using BdpRowBuffers = BdpRow<11>;

// Every column but the change time stamp BdpDat.
void FillBdpBuffers(BdpRowBuffers& buffers, const BdpRecord& record);

// The next row of a cursor opened on the duty-plan select list, into `record` on status 0.
int FetchBdpRow(db::SqlCursor& cursor, BdpRowBuffers& buffers, BdpRecord& record);
// The same for the range walk's select list, which has one column more after BdpRnd: the
// unconverted date, fetched into `plainDate` and dropped.
int FetchBdpRow(db::SqlCursor& cursor, BdpRowBuffers& buffers, BdpRecord& record,
                db::HostVar plainDate);
