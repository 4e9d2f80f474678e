#include "db/bdp_row.h"

#include "db/transfer_buffer.h"

namespace {

// The columns both directions carry, each named once.
template <typename Target, typename Source>
void TransferBdpRow(Target& target, const Source& source) {
  TransferField(target.BdpPnr, source.BdpPnr);
  TransferField(target.BdpBdt, source.BdpBdt);
  TransferField(target.BdpEso, source.BdpEso);
  TransferField(target.BdpEsa, source.BdpEsa);
  TransferField(target.BdpSzv, source.BdpSzv);
  TransferField(target.BdpSzb, source.BdpSzb);
  TransferField(target.BdpBsz, source.BdpBsz);
  TransferField(target.BdpJhr, source.BdpJhr);
  TransferField(target.BdpMon, source.BdpMon);
  TransferField(target.BdpWoc, source.BdpWoc);
  TransferField(target.BdpJwc, source.BdpJwc);
  TransferField(target.BdpTtp, source.BdpTtp);
  TransferField(target.BdpTag, source.BdpTag);
  TransferField(target.BdpZtv, source.BdpZtv);
  TransferField(target.BdpZtb, source.BdpZtb);
  TransferField(target.BdpKst, source.BdpKst);
  TransferField(target.BdpFc1, source.BdpFc1);
  TransferField(target.BdpFc2, source.BdpFc2);
  TransferField(target.BdpFc3, source.BdpFc3);
  TransferField(target.BdpOso, source.BdpOso);
  TransferField(target.BdpOsa, source.BdpOsa);
  TransferField(target.BdpOsv, source.BdpOsv);
  TransferField(target.BdpOsb, source.BdpOsb);
  TransferField(target.BdpOsz, source.BdpOsz);
  TransferField(target.BdpOsw, source.BdpOsw);
  TransferField(target.BdpPlg, source.BdpPlg);
  TransferField(target.BdpAsw, source.BdpAsw);
  TransferField(target.BdpAwp, source.BdpAwp);
  TransferField(target.BdpSts, source.BdpSts);
  TransferField(target.BdpFnr, source.BdpFnr);
  TransferField(target.BdpSta, source.BdpSta);
  TransferField(target.BdpTxt, source.BdpTxt);
  TransferField(target.BdpErf, source.BdpErf);
  TransferField(target.BdpAzt, source.BdpAzt);
  TransferField(target.BdpId1, source.BdpId1);
  TransferField(target.BdpId2, source.BdpId2);
  TransferField(target.BdpId3, source.BdpId3);
  TransferField(target.BdpId4, source.BdpId4);
  TransferField(target.BdpId5, source.BdpId5);
  TransferField(target.BdpId6, source.BdpId6);
  TransferField(target.BdpId7, source.BdpId7);
  TransferField(target.BdpId8, source.BdpId8);
  TransferField(target.BdpRnd, source.BdpRnd);
  TransferField(target.BdpAkt, source.BdpAkt);
  TransferField(target.BdpBnr, source.BdpBnr);
  TransferField(target.BdpPau, source.BdpPau);
  TransferField(target.BdpBzt, source.BdpBzt);
}

// The select list's order, not the record's; `plainDate` is the range walk's extra column, or
// nothing. The key columns carry no indicator; a NULL elsewhere arrives as "" or 0, so no
// value of an earlier row survives.
template <typename... PlainDate>
int Fetch(db::SqlCursor& cursor, BdpRowBuffers& buffers, BdpRecord& record,
          PlainDate... plainDate) {
  int rc = db::SqlFetch(cursor, {
      db::TextOut(buffers.BdpPnr), db::TextOut(buffers.BdpBdt),
      db::TextOut(buffers.BdpEso), db::TextOut(buffers.BdpEsa),
      db::TextOut(buffers.BdpBsz, true), db::IntOut(buffers.BdpSzv),
      db::IntOut(buffers.BdpSzb, true), db::IntOut(buffers.BdpJhr, true),
      db::IntOut(buffers.BdpMon, true), db::IntOut(buffers.BdpWoc, true),
      db::IntOut(buffers.BdpJwc, true), db::IntOut(buffers.BdpTag, true),
      db::TextOut(buffers.BdpTtp, true), db::IntOut(buffers.BdpZtv, true),
      db::IntOut(buffers.BdpZtb, true), db::TextOut(buffers.BdpKst, true),
      db::TextOut(buffers.BdpFc1, true), db::TextOut(buffers.BdpFc2, true),
      db::TextOut(buffers.BdpFc3, true), db::TextOut(buffers.BdpOso, true),
      db::TextOut(buffers.BdpOsa, true), db::IntOut(buffers.BdpOsv, true),
      db::IntOut(buffers.BdpOsb, true), db::TextOut(buffers.BdpOsz, true),
      db::TextOut(buffers.BdpPlg, true), db::IntOut(buffers.BdpAsw, true),
      db::TextOut(buffers.BdpSts, true), db::IntOut(buffers.BdpFnr, true),
      db::IntOut(buffers.BdpSta, true), db::TextOut(buffers.BdpTxt, true),
      db::TextOut(buffers.BdpErf, true), db::IntOut(buffers.BdpAzt, true),
      db::IntOut(buffers.BdpId1, true), db::IntOut(buffers.BdpId2, true),
      db::IntOut(buffers.BdpId3, true), db::IntOut(buffers.BdpId4, true),
      db::IntOut(buffers.BdpId5, true), db::IntOut(buffers.BdpId6, true),
      db::IntOut(buffers.BdpId7, true), db::IntOut(buffers.BdpId8, true),
      db::IntOut(buffers.BdpRnd, true), plainDate...,
      db::IntOut(buffers.BdpAkt, true), db::IntOut(buffers.BdpBnr, true),
      db::IntOut(buffers.BdpAwp, true), db::IntOut(buffers.BdpPau, true),
      db::IntOut(buffers.BdpBzt, true), db::IntOut(buffers.BdpOsw, true),
  });
  if (rc == 0) TransferBdpRow(record, buffers);
  return rc;
}

}  // namespace

void FillBdpBuffers(BdpRowBuffers& buffers, const BdpRecord& record) {
  TransferBdpRow(buffers, record);
}

int FetchBdpRow(db::SqlCursor& cursor, BdpRowBuffers& buffers, BdpRecord& record) {
  return Fetch(cursor, buffers, record);
}

int FetchBdpRow(db::SqlCursor& cursor, BdpRowBuffers& buffers, BdpRecord& record,
                db::HostVar plainDate) {
  return Fetch(cursor, buffers, record, plainDate);
}
