#pragma once
// Rvk730Bdp: the duty plan. The record and its walks by person and day and by date range.
#include <cstddef>
#include <cstdint>

#include "db/statement_list.h"

namespace db {
class SqlSeries;
}

// The one description of a duty-plan row. The record and the statements' transfer buffers
// (bdp_row.h) share it and differ only in the width of the date, which the statements
// announce as 11.
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

// An operation given a series goes out when the series runs; its status goes to `status`.

// Rows of one person on one day, ascending BdpSzv.
void Bdp_PnrBszDmy_Open(db::SqlSeries& series, const char* person, const char* day,
                        int& status);
int Bdp_PnrBszDmy_Read(BdpRecord& record);
int Bdp_PnrBszDmy_Close();
void Bdp_PKeyUpd(db::SqlSeries& series, const BdpRecord& record, int& status);

// Rows of one person from one date through another, both inclusive.
int Bdp_PnrVonBis_Open(const char* person, const char* fromDate, const char* toDate);
int Bdp_PnrVonBis_Read(BdpRecord& record);
int Bdp_PnrVonBis_Close();
void Bdp_PKeyDel(db::SqlSeries& series, const BdpRecord& record, int& status);
// The person's latest duty-plan date (yyyymmdd) into `lastDate`, set when its status is 0.
void GetLastPlnDat(db::SqlSeries& series, const char* person, char (&lastDate)[9], int& status);

// The statements of the walks by day and by date range that reach a table.
void BdpDay_Statements(std::vector<db::NamedStatement>& statements);
void BdpRange_Statements(std::vector<db::NamedStatement>& statements);
