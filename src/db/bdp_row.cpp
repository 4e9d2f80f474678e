#include "db/bdp_row.h"

#include "common/text_field.h"
#include "db/transfer_buffer.h"

void FillBdpBuffers(BdpRowBuffers& buffers, const BdpRecord& record) {
  CopyBounded(buffers.BdpPnr, record.BdpPnr);
  CopyBounded(buffers.BdpBdt, record.BdpBdt);
  CopyBounded(buffers.BdpEso, record.BdpEso);
  CopyBounded(buffers.BdpEsa, record.BdpEsa);
  buffers.BdpSzv = record.BdpSzv;
  buffers.BdpSzb = record.BdpSzb;
  CopyBounded(buffers.BdpBsz, record.BdpBsz);
  buffers.BdpJhr = record.BdpJhr;
  buffers.BdpMon = record.BdpMon;
  buffers.BdpWoc = record.BdpWoc;
  buffers.BdpJwc = record.BdpJwc;
  CopyBounded(buffers.BdpTtp, record.BdpTtp);
  buffers.BdpTag = record.BdpTag;
  buffers.BdpZtv = record.BdpZtv;
  buffers.BdpZtb = record.BdpZtb;
  CopyBounded(buffers.BdpKst, record.BdpKst);
  CopyBounded(buffers.BdpFc1, record.BdpFc1);
  CopyBounded(buffers.BdpFc2, record.BdpFc2);
  CopyBounded(buffers.BdpFc3, record.BdpFc3);
  CopyBounded(buffers.BdpOso, record.BdpOso);
  CopyBounded(buffers.BdpOsa, record.BdpOsa);
  buffers.BdpOsv = record.BdpOsv;
  buffers.BdpOsb = record.BdpOsb;
  CopyBounded(buffers.BdpOsz, record.BdpOsz);
  buffers.BdpOsw = record.BdpOsw;
  CopyBounded(buffers.BdpPlg, record.BdpPlg);
  buffers.BdpAsw = record.BdpAsw;
  buffers.BdpAwp = record.BdpAwp;
  CopyBounded(buffers.BdpSts, record.BdpSts);
  buffers.BdpFnr = record.BdpFnr;
  buffers.BdpSta = record.BdpSta;
  CopyBounded(buffers.BdpTxt, record.BdpTxt);
  CopyBounded(buffers.BdpErf, record.BdpErf);
  buffers.BdpAzt = record.BdpAzt;
  buffers.BdpId1 = record.BdpId1;
  buffers.BdpId2 = record.BdpId2;
  buffers.BdpId3 = record.BdpId3;
  buffers.BdpId4 = record.BdpId4;
  buffers.BdpId5 = record.BdpId5;
  buffers.BdpId6 = record.BdpId6;
  buffers.BdpId7 = record.BdpId7;
  buffers.BdpId8 = record.BdpId8;
  buffers.BdpRnd = record.BdpRnd;
  buffers.BdpAkt = record.BdpAkt;
  buffers.BdpBnr = record.BdpBnr;
  buffers.BdpPau = record.BdpPau;
  buffers.BdpBzt = record.BdpBzt;
}

void CopyBdpBuffers(const BdpRowBuffers& buffers, BdpRecord& record) {
  CopyBounded(record.BdpPnr, buffers.BdpPnr);
  CopyBounded(record.BdpBdt, buffers.BdpBdt);
  CopyBounded(record.BdpEso, buffers.BdpEso);
  CopyBounded(record.BdpEsa, buffers.BdpEsa);
  record.BdpSzv = buffers.BdpSzv;
  record.BdpSzb = buffers.BdpSzb;
  CopyBounded(record.BdpBsz, buffers.BdpBsz);
  record.BdpJhr = buffers.BdpJhr;
  record.BdpMon = buffers.BdpMon;
  record.BdpWoc = buffers.BdpWoc;
  record.BdpJwc = buffers.BdpJwc;
  CopyBounded(record.BdpTtp, buffers.BdpTtp);
  record.BdpTag = buffers.BdpTag;
  record.BdpZtv = buffers.BdpZtv;
  record.BdpZtb = buffers.BdpZtb;
  CopyBounded(record.BdpKst, buffers.BdpKst);
  CopyBounded(record.BdpFc1, buffers.BdpFc1);
  CopyBounded(record.BdpFc2, buffers.BdpFc2);
  CopyBounded(record.BdpFc3, buffers.BdpFc3);
  CopyBounded(record.BdpOso, buffers.BdpOso);
  CopyBounded(record.BdpOsa, buffers.BdpOsa);
  record.BdpOsv = buffers.BdpOsv;
  record.BdpOsb = buffers.BdpOsb;
  CopyBounded(record.BdpOsz, buffers.BdpOsz);
  record.BdpOsw = buffers.BdpOsw;
  CopyBounded(record.BdpPlg, buffers.BdpPlg);
  record.BdpAsw = buffers.BdpAsw;
  record.BdpAwp = buffers.BdpAwp;
  CopyBounded(record.BdpSts, buffers.BdpSts);
  record.BdpFnr = buffers.BdpFnr;
  record.BdpSta = buffers.BdpSta;
  CopyBounded(record.BdpTxt, buffers.BdpTxt);
  CopyBounded(record.BdpErf, buffers.BdpErf);
  record.BdpAzt = buffers.BdpAzt;
  record.BdpId1 = buffers.BdpId1;
  record.BdpId2 = buffers.BdpId2;
  record.BdpId3 = buffers.BdpId3;
  record.BdpId4 = buffers.BdpId4;
  record.BdpId5 = buffers.BdpId5;
  record.BdpId6 = buffers.BdpId6;
  record.BdpId7 = buffers.BdpId7;
  record.BdpId8 = buffers.BdpId8;
  record.BdpRnd = buffers.BdpRnd;
  record.BdpAkt = buffers.BdpAkt;
  record.BdpBnr = buffers.BdpBnr;
  record.BdpPau = buffers.BdpPau;
  record.BdpBzt = buffers.BdpBzt;
}
