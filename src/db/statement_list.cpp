#include "db/statement_list.h"

#include "db/bak.h"
#include "db/bdp.h"
#include "db/bsm.h"
#include "db/err.h"
#include "db/pud.h"
#include "db/tag.h"

std::vector<db::NamedStatement> ProgramStatements() {
  std::vector<db::NamedStatement> statements;
  Bak_Statements(statements);
  Bdp_Statements(statements);
  Bsm_Statements(statements);
  Err_Statements(statements);
  Pud_Statements(statements);
  Tag_Statements(statements);
  return statements;
}

// A column named after its record's field, so that a name the record lacks does not compile.
#define KESTRUMEL_COLUMN(Record, field, kind) \
  db::TableColumn { #field, db::ColumnKind::kind, sizeof(Record::field) }

const std::vector<db::ProgramTable>& ProgramTables() {
  static const std::vector<db::ProgramTable> tables = {
      {"", "Rvk740Pud", {
          KESTRUMEL_COLUMN(PudRecord, PudPnr, Text), KESTRUMEL_COLUMN(PudRecord, PudDtm, Date),
          KESTRUMEL_COLUMN(PudRecord, PudTyp, Integer), KESTRUMEL_COLUMN(PudRecord, PudKng, Integer),
          KESTRUMEL_COLUMN(PudRecord, PudTxc, Integer), KESTRUMEL_COLUMN(PudRecord, PudPlg, Text),
          KESTRUMEL_COLUMN(PudRecord, PudErf, Text), KESTRUMEL_COLUMN(PudRecord, PudDat, Date),
      }},
      {"", "Rvk730Bdp", {
          KESTRUMEL_COLUMN(BdpRecord, BdpPnr, Text), KESTRUMEL_COLUMN(BdpRecord, BdpBdt, Date),
          KESTRUMEL_COLUMN(BdpRecord, BdpEso, Text), KESTRUMEL_COLUMN(BdpRecord, BdpEsa, Text),
          KESTRUMEL_COLUMN(BdpRecord, BdpBsz, Text), KESTRUMEL_COLUMN(BdpRecord, BdpSzv, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpSzb, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpJhr, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpMon, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpWoc, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpJwc, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpTag, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpTtp, Text), KESTRUMEL_COLUMN(BdpRecord, BdpZtv, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpZtb, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpKst, Text),
          KESTRUMEL_COLUMN(BdpRecord, BdpFc1, Text), KESTRUMEL_COLUMN(BdpRecord, BdpFc2, Text),
          KESTRUMEL_COLUMN(BdpRecord, BdpFc3, Text), KESTRUMEL_COLUMN(BdpRecord, BdpOso, Text),
          KESTRUMEL_COLUMN(BdpRecord, BdpOsa, Text), KESTRUMEL_COLUMN(BdpRecord, BdpOsv, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpOsb, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpOsz, Text),
          KESTRUMEL_COLUMN(BdpRecord, BdpPlg, Text), KESTRUMEL_COLUMN(BdpRecord, BdpAsw, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpSts, Text), KESTRUMEL_COLUMN(BdpRecord, BdpFnr, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpSta, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpDat, Date),
          KESTRUMEL_COLUMN(BdpRecord, BdpTxt, Text), KESTRUMEL_COLUMN(BdpRecord, BdpErf, Text),
          KESTRUMEL_COLUMN(BdpRecord, BdpAzt, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpId1, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpId2, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpId3, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpId4, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpId5, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpId6, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpId7, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpId8, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpRnd, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpAkt, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpBnr, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpAwp, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpPau, Integer),
          KESTRUMEL_COLUMN(BdpRecord, BdpBzt, Integer), KESTRUMEL_COLUMN(BdpRecord, BdpOsw, Integer),
      }},
      {"", "Rvk725Bsm", {
          KESTRUMEL_COLUMN(BsmRecord, BsmBdt, Date), KESTRUMEL_COLUMN(BsmRecord, BsmEso, Text),
          KESTRUMEL_COLUMN(BsmRecord, BsmEsa, Text), KESTRUMEL_COLUMN(BsmRecord, BsmBsz, Text),
          KESTRUMEL_COLUMN(BsmRecord, BsmSzv, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmSzb, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmJhr, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmMon, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmWoc, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmJwc, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmTag, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmTtp, Text),
          KESTRUMEL_COLUMN(BsmRecord, BsmSol, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmMin, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmMax, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmIst, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmPlg, Text), KESTRUMEL_COLUMN(BsmRecord, BsmHtg, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmHtv, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmHtn, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmKng, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmFkt, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmAsw, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmSta, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmDat, Date), KESTRUMEL_COLUMN(BsmRecord, BsmErf, Text),
          KESTRUMEL_COLUMN(BsmRecord, BsmId1, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmId2, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmId3, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmId4, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmId5, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmId6, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmId7, Integer), KESTRUMEL_COLUMN(BsmRecord, BsmId8, Integer),
          KESTRUMEL_COLUMN(BsmRecord, BsmKor, Integer),
      }},
      {"", "Rvk746Err", {
          KESTRUMEL_COLUMN(ErrRecord, ErrPlg, Text), KESTRUMEL_COLUMN(ErrRecord, ErrKng, Text),
          {"ErrDat", db::ColumnKind::Date, 0},  // the insert's sysdate
          KESTRUMEL_COLUMN(ErrRecord, ErrLfn, Integer), KESTRUMEL_COLUMN(ErrRecord, ErrPnr, Text),
          KESTRUMEL_COLUMN(ErrRecord, ErrEso, Text), KESTRUMEL_COLUMN(ErrRecord, ErrEsa, Text),
          KESTRUMEL_COLUMN(ErrRecord, ErrKnz, Text), KESTRUMEL_COLUMN(ErrRecord, ErrBdt, Date),
          KESTRUMEL_COLUMN(ErrRecord, ErrZtv, Integer), KESTRUMEL_COLUMN(ErrRecord, ErrZtb, Integer),
          KESTRUMEL_COLUMN(ErrRecord, ErrFnr, Integer), KESTRUMEL_COLUMN(ErrRecord, ErrErf, Text),
          KESTRUMEL_COLUMN(ErrRecord, ErrJbd, Text), KESTRUMEL_COLUMN(ErrRecord, ErrJbk, Text),
      }},
      {"", "rvk327tag", {
          KESTRUMEL_COLUMN(TagRecord, TagPnr, Text), KESTRUMEL_COLUMN(TagRecord, TagTag, Date),
          KESTRUMEL_COLUMN(TagRecord, TagTgb, Text), KESTRUMEL_COLUMN(TagRecord, TagHtv, Text),
          KESTRUMEL_COLUMN(TagRecord, TagHtn, Text),
      }},
      {"RVKSTAMM", "Rvk133Bak", {
          KESTRUMEL_COLUMN(CalendarDay, BakDtm, Date), KESTRUMEL_COLUMN(CalendarDay, BakJhr, Integer),
          KESTRUMEL_COLUMN(CalendarDay, BakMon, Integer), KESTRUMEL_COLUMN(CalendarDay, BakTag, Integer),
          KESTRUMEL_COLUMN(CalendarDay, BakWch, Integer), KESTRUMEL_COLUMN(CalendarDay, BakWtg, Integer),
          KESTRUMEL_COLUMN(CalendarDay, BakJtg, Integer),
      }},
  };
  return tables;
}
