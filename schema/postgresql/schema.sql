-- Tables of one planning schema. Run with search_path set to that schema:
--   CREATE SCHEMA ktest; SET search_path TO ktest; then this file.
-- Names are unquoted, so the catalogue holds them in lower case, which is how the program's
-- unquoted statement texts find them. Dates are timestamp(0): the seconds of an Oracle DATE,
-- no time zone, within its years 1 to 9999 (the program writes and reads four-digit years).
-- Texts are held to the bytes the program reads, as an Oracle column of that width would: a
-- longer key would be read cut and never found again.
-- Keys that take columns which the program reads with a null indicator are unique
-- constraints rather than primary keys, so those columns may hold NULL.

CREATE TABLE Rvk740Pud (
  PudPnr text CHECK (octet_length(PudPnr) <= 8),
  PudDtm timestamp(0) CHECK (PudDtm >= '0001-01-01' AND PudDtm < '10000-01-01'),
  PudTyp integer,
  PudKng integer,
  PudTxc integer,
  PudPlg text NOT NULL CHECK (octet_length(PudPlg) <= 5),
  PudErf text CHECK (octet_length(PudErf) <= 50),
  PudDat timestamp(0) NOT NULL CHECK (PudDat >= '0001-01-01' AND PudDat < '10000-01-01'),
  -- The write-back finds a request by its time stamp; person, day and type tell apart
  -- requests queued within the same second.
  CONSTRAINT Rvk740Pud_Key UNIQUE (PudDat, PudPnr, PudDtm, PudTyp)
);
CREATE INDEX Rvk740Pud_PlgKngDat ON Rvk740Pud (PudPlg, PudKng, PudDat);

CREATE TABLE Rvk730Bdp (
  BdpPnr text NOT NULL CHECK (octet_length(BdpPnr) <= 8),
  BdpBdt timestamp(0) NOT NULL CHECK (BdpBdt >= '0001-01-01' AND BdpBdt < '10000-01-01'),
  BdpEso text NOT NULL CHECK (octet_length(BdpEso) <= 5),
  BdpEsa text NOT NULL CHECK (octet_length(BdpEsa) <= 5),
  BdpBsz text CHECK (octet_length(BdpBsz) <= 3),
  BdpSzv integer NOT NULL,
  BdpSzb integer,
  BdpJhr integer,
  BdpMon integer,
  BdpWoc integer,
  BdpJwc integer,
  BdpTag integer,
  BdpTtp text CHECK (octet_length(BdpTtp) <= 3),
  BdpZtv integer,
  BdpZtb integer,
  BdpKst text CHECK (octet_length(BdpKst) <= 10),
  BdpFc1 text CHECK (octet_length(BdpFc1) <= 3),
  BdpFc2 text CHECK (octet_length(BdpFc2) <= 3),
  BdpFc3 text CHECK (octet_length(BdpFc3) <= 3),
  BdpOso text CHECK (octet_length(BdpOso) <= 5),
  BdpOsa text CHECK (octet_length(BdpOsa) <= 5),
  BdpOsv integer,
  BdpOsb integer,
  BdpOsz text CHECK (octet_length(BdpOsz) <= 3),
  BdpPlg text CHECK (octet_length(BdpPlg) <= 5),
  BdpAsw integer,
  BdpSts text CHECK (octet_length(BdpSts) <= 1),
  BdpFnr integer,
  BdpSta integer,
  BdpDat timestamp(0) CHECK (BdpDat >= '0001-01-01' AND BdpDat < '10000-01-01'),
  BdpTxt text CHECK (octet_length(BdpTxt) <= 60),
  BdpErf text CHECK (octet_length(BdpErf) <= 50),
  BdpAzt integer,
  BdpId1 integer,
  BdpId2 integer,
  BdpId3 integer,
  BdpId4 integer,
  BdpId5 integer,
  BdpId6 integer,
  BdpId7 integer,
  BdpId8 integer,
  BdpRnd integer,
  BdpAkt integer,
  BdpBnr integer,
  BdpAwp integer,
  BdpPau integer,
  BdpBzt integer,
  BdpOsw integer,
  CONSTRAINT Rvk730Bdp_Key UNIQUE (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAkt, BdpAsw)
);
-- A person's rows of a day in the order of their slot start.
CREATE INDEX Rvk730Bdp_PnrBdtSzv ON Rvk730Bdp (BdpPnr, BdpBdt, BdpSzv);
-- The rows of a staffing slot, for its tallies. It holds every column they test, so that a
-- tally can be counted from the index alone.
CREATE INDEX Rvk730Bdp_Slot ON Rvk730Bdp (BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAsw, BdpSzb)
  INCLUDE (BdpZtv, BdpZtb, BdpSts, BdpFc1, BdpFc2, BdpFc3);

CREATE TABLE Rvk725Bsm (
  BsmBdt timestamp(0) NOT NULL CHECK (BsmBdt >= '0001-01-01' AND BsmBdt < '10000-01-01'),
  BsmEso text NOT NULL CHECK (octet_length(BsmEso) <= 5),
  BsmEsa text NOT NULL CHECK (octet_length(BsmEsa) <= 5),
  BsmBsz text CHECK (octet_length(BsmBsz) <= 3),
  BsmSzv integer NOT NULL,
  BsmSzb integer,
  BsmJhr integer,
  BsmMon integer,
  BsmWoc integer,
  BsmJwc integer,
  BsmTag integer,
  BsmTtp text CHECK (octet_length(BsmTtp) <= 3),
  BsmSol integer,
  BsmMin integer,
  BsmMax integer,
  BsmIst integer,
  BsmPlg text CHECK (octet_length(BsmPlg) <= 5),
  BsmHtg integer,
  BsmHtv integer,
  BsmHtn integer,
  BsmKng integer,
  BsmFkt integer,
  BsmAsw integer,
  BsmSta integer,
  BsmDat timestamp(0) CHECK (BsmDat >= '0001-01-01' AND BsmDat < '10000-01-01'),
  BsmErf text CHECK (octet_length(BsmErf) <= 50),
  BsmId1 integer,
  BsmId2 integer,
  BsmId3 integer,
  BsmId4 integer,
  BsmId5 integer,
  BsmId6 integer,
  BsmId7 integer,
  BsmId8 integer,
  BsmKor integer,
  CONSTRAINT Rvk725Bsm_Key UNIQUE (BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmAsw)
);

-- Deviation rows are a log: the same deviation may be written twice within one second.
CREATE TABLE Rvk746Err (
  ErrPlg text CHECK (octet_length(ErrPlg) <= 5),
  ErrKng text CHECK (octet_length(ErrKng) <= 5),
  ErrDat timestamp(0) CHECK (ErrDat >= '0001-01-01' AND ErrDat < '10000-01-01'),
  ErrLfn integer,
  ErrPnr text CHECK (octet_length(ErrPnr) <= 8),
  ErrEso text CHECK (octet_length(ErrEso) <= 5),
  ErrEsa text CHECK (octet_length(ErrEsa) <= 5),
  ErrKnz text CHECK (octet_length(ErrKnz) <= 5),
  ErrBdt timestamp(0) CHECK (ErrBdt >= '0001-01-01' AND ErrBdt < '10000-01-01'),
  ErrZtv integer,
  ErrZtb integer,
  ErrFnr integer,
  ErrErf text CHECK (octet_length(ErrErf) <= 50),
  ErrJbd text CHECK (octet_length(ErrJbd) <= 14),
  ErrJbk text CHECK (octet_length(ErrJbk) <= 32)
);
CREATE INDEX Rvk746Err_PlgKngDat ON Rvk746Err (ErrPlg, ErrKng, ErrDat, ErrLfn);

CREATE TABLE rvk327tag (
  TagPnr text NOT NULL CHECK (octet_length(TagPnr) <= 8),
  TagTag timestamp(0) NOT NULL CHECK (TagTag >= '0001-01-01' AND TagTag < '10000-01-01'),
  TagTgb text CHECK (octet_length(TagTgb) <= 3),
  TagHtv text CHECK (octet_length(TagHtv) <= 3),
  TagHtn text CHECK (octet_length(TagHtn) <= 3),
  PRIMARY KEY (TagPnr, TagTag)
);
