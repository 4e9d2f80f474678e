-- Tables of one planning schema. Run with search_path set to that schema:
--   CREATE SCHEMA ktest; SET search_path TO ktest; then this file.
-- Names are unquoted, so the catalogue holds them in lower case, which is how the program's
-- unquoted statement texts find them. Dates are timestamp(0): the seconds of an Oracle DATE,
-- no time zone. Texts are unbounded, as on SQLite: the program cuts what it reads to its buffers.
-- Keys that take columns which the program reads with a null indicator are unique
-- constraints rather than primary keys, so those columns may hold NULL.

CREATE TABLE Rvk740Pud (
  PudPnr text,
  PudDtm timestamp(0),
  PudTyp integer,
  PudKng integer,
  PudTxc integer,
  PudPlg text NOT NULL,
  PudErf text,
  PudDat timestamp(0) NOT NULL,
  -- The write-back finds a request by its time stamp; person, day and type tell apart
  -- requests queued within the same second.
  CONSTRAINT Rvk740Pud_Key UNIQUE (PudDat, PudPnr, PudDtm, PudTyp)
);
CREATE INDEX Rvk740Pud_PlgKngDat ON Rvk740Pud (PudPlg, PudKng, PudDat);

CREATE TABLE Rvk730Bdp (
  BdpPnr text NOT NULL,
  BdpBdt timestamp(0) NOT NULL,
  BdpEso text NOT NULL,
  BdpEsa text NOT NULL,
  BdpBsz text,
  BdpSzv integer NOT NULL,
  BdpSzb integer,
  BdpJhr integer,
  BdpMon integer,
  BdpWoc integer,
  BdpJwc integer,
  BdpTag integer,
  BdpTtp text,
  BdpZtv integer,
  BdpZtb integer,
  BdpKst text,
  BdpFc1 text,
  BdpFc2 text,
  BdpFc3 text,
  BdpOso text,
  BdpOsa text,
  BdpOsv integer,
  BdpOsb integer,
  BdpOsz text,
  BdpPlg text,
  BdpAsw integer,
  BdpSts text,
  BdpFnr integer,
  BdpSta integer,
  BdpDat timestamp(0),
  BdpTxt text,
  BdpErf text,
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
-- The rows of a staffing slot, for its tallies.
CREATE INDEX Rvk730Bdp_Slot ON Rvk730Bdp (BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAsw, BdpSzb);

CREATE TABLE Rvk725Bsm (
  BsmBdt timestamp(0) NOT NULL,
  BsmEso text NOT NULL,
  BsmEsa text NOT NULL,
  BsmBsz text,
  BsmSzv integer NOT NULL,
  BsmSzb integer,
  BsmJhr integer,
  BsmMon integer,
  BsmWoc integer,
  BsmJwc integer,
  BsmTag integer,
  BsmTtp text,
  BsmSol integer,
  BsmMin integer,
  BsmMax integer,
  BsmIst integer,
  BsmPlg text,
  BsmHtg integer,
  BsmHtv integer,
  BsmHtn integer,
  BsmKng integer,
  BsmFkt integer,
  BsmAsw integer,
  BsmSta integer,
  BsmDat timestamp(0),
  BsmErf text,
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
  ErrPlg text,
  ErrKng text,
  ErrDat timestamp(0),
  ErrLfn integer,
  ErrPnr text,
  ErrEso text,
  ErrEsa text,
  ErrKnz text,
  ErrBdt timestamp(0),
  ErrZtv integer,
  ErrZtb integer,
  ErrFnr integer,
  ErrErf text,
  ErrJbd text,
  ErrJbk text
);
CREATE INDEX Rvk746Err_PlgKngDat ON Rvk746Err (ErrPlg, ErrKng, ErrDat, ErrLfn);

CREATE TABLE rvk327tag (
  TagPnr text NOT NULL,
  TagTag timestamp(0) NOT NULL,
  TagTgb text,
  TagHtv text,
  TagHtn text,
  PRIMARY KEY (TagPnr, TagTag)
);
