#pragma once
// Rvk730Bdp: the duty plan. The record, its walks by person and day and by date range, the
// counts of a staffing slot, and the steps of a request that start from a duty row.
#include <cstddef>
#include <cstdint>

#include "db/bsm.h"
#include "db/pud.h"
#include "db/statement_list.h"
#include "db/tag.h"

// The one description of a duty-plan row. The record and the statements' transfer buffers
// share it and differ only in the width of the date, which the statements announce as 11.
template <size_t DateWidth>
struct BdpRow {
  char BdpPnr[9];
  char BdpBdt[DateWidth];
  char BdpEso[6];
  char BdpEsa[6];
  int32_t BdpSzv;
  int32_t BdpSzb;
  char BdpBsz[4];
  int32_t BdpJhr;
  int32_t BdpMon;
  int32_t BdpWoc;
  int32_t BdpJwc;
  char BdpTtp[4];
  int32_t BdpTag;
  int32_t BdpZtv;
  int32_t BdpZtb;
  char BdpKst[11];
  char BdpFc1[4];
  char BdpFc2[4];
  char BdpFc3[4];
  char BdpOso[6];
  char BdpOsa[6];
  int32_t BdpOsv;
  int32_t BdpOsb;
  char BdpOsz[4];
  int32_t BdpOsw;
  char BdpPlg[6];
  int32_t BdpAsw;
  int32_t BdpAwp;
  char BdpSts[2];
  int32_t BdpFnr;
  int32_t BdpSta;
  char BdpDat[15];
  char BdpTxt[61];
  char BdpErf[51];
  int32_t BdpAzt;
  int32_t BdpId1;
  int32_t BdpId2;
  int32_t BdpId3;
  int32_t BdpId4;
  int32_t BdpId5;
  int32_t BdpId6;
  int32_t BdpId7;
  int32_t BdpId8;
  int32_t BdpRnd;
  int32_t BdpAkt;
  int32_t BdpBnr;
  int32_t BdpPau;
  int32_t BdpBzt;
};

using BdpRecord = BdpRow<10>;

// The six counts of duty rows that make up a staffing slot's recount. The record and the
// counts' transfer buffers share it and differ only in the width of the date (11 for these).
template <size_t DateWidth>
struct BdpTallyRow {
  char BdpBdt[DateWidth];
  char BdpEso[6];
  char BdpEsa[6];
  int32_t BdpAsw;
  int32_t BdpSzv;
  int32_t BdpSzb;
  int32_t cntExact;
  int32_t cntPartial;
  int32_t cntTotal;
  int32_t cntFc1;
  int32_t cntFc2;
  int32_t cntFc3;
  int32_t cntUM;
};

using BdpTally = BdpTallyRow<9>;

// What a step of a request did, statement by statement: 0, or the status that stopped it.
// A statement the step did not reach has the status that stopped it, unless a fault stopped
// it, which only its own statement carries.

// The request's done mark, the opening of the person's rows of the request day and the
// person's day codes, which go out together. `codes` takes the codes that are set.
struct DayOpening {
  int marked = 0;
  int opened = 0;
  int read = 0;
};
DayOpening Bdp_OpenRequestDay(const PudRecord& request, TagRecord& codes);

// The request's done mark and the person's latest planned date (yyyymmdd into `lastDate`,
// set when `found` is 0), which go out together.
struct LastDateLookup {
  int marked = 0;
  int found = 0;
};
LastDateLookup Bdp_MarkAndFindLastDate(const PudRecord& request, char (&lastDate)[9]);

// A duty row's change and, when the row counts in a slot, the slot's staffing row read after it
// (`slot`, its key set, takes the row when `read` is 0) and the counts for the row's own end
// (`likely`, taken when `tallied` is 0): the counts see the plan as changed.
enum class RowChangeKind { Update, Delete };
struct RowChange {
  int changed = 0;
  int read = 0;
  int tallied = 0;
};
RowChange Bdp_ChangeRowAndReadSlot(RowChangeKind kind, const BdpRecord& row, bool counts,
                                   BsmRecord& slot, BdpTally& likely);

// The counts of `tally`'s slot on their own. Returns 0 once all six are taken, else the status
// that stopped them, whose field and every later one keep their entry values.
int Bdp_CountSlot(BdpTally& tally);

// The operations the steps are made of, each added to a batch that runs them with others;
// its status goes to `status` when the batch runs.
void Bdp_PnrBszDmy_Open(db::Batch& batch, const char* person, const char* day, int& status);
void Bdp_PKeyUpd(db::Batch& batch, const BdpRecord& record, int& status);
void Bdp_PKeyDel(db::Batch& batch, const BdpRecord& record, int& status);
void GetLastPlnDat(db::Batch& batch, const char* person, char (&lastDate)[9], int& status);
// Stops at the first failing count, whose field and every later one keep their entry values.
void Bdp_SlotTally(db::Batch& batch, BdpTally& tally, int& status);

// Rows of one person on one day, ascending BdpSzv, opened by Bdp_OpenRequestDay.
int Bdp_PnrBszDmy_Read(BdpRecord& record);
int Bdp_PnrBszDmy_Close();

// Rows of one person from one date through another, both inclusive.
int Bdp_PnrVonBis_Open(const char* person, const char* fromDate, const char* toDate);
int Bdp_PnrVonBis_Read(BdpRecord& record);
int Bdp_PnrVonBis_Close();

// The module's statements that reach a table.
void Bdp_Statements(std::vector<db::NamedStatement>& statements);
