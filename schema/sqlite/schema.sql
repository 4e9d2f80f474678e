-- Tables of one planning schema (the file DIR/<schema>.db). Dates are TEXT
-- 'YYYY-MM-DD HH:MM:SS' in local time. Their CHECKs keep out any other form and any day or
-- time that does not exist, so that a date compares and sorts as a date and every stored date
-- converts: the text must come back unchanged through julianday (SQLite carries 02-30 over
-- into March and gives NULL for hour 25; IS makes the NULL fail). Texts are held to the
-- bytes the program reads, as an Oracle column of that width would: a longer key would be
-- read cut and never found again. Indexes make every statement of the program a lookup.
PRAGMA journal_mode = WAL;

CREATE TABLE Rvk740Pud (
  PudPnr TEXT CHECK (length(CAST(PudPnr AS BLOB)) <= 8),
  PudDtm TEXT CHECK (datetime(julianday(PudDtm)) IS PudDtm AND PudDtm >= '0001'),
  PudTyp INTEGER,
  PudKng INTEGER,
  PudTxc INTEGER,
  PudPlg TEXT NOT NULL CHECK (length(CAST(PudPlg AS BLOB)) <= 5),
  PudErf TEXT CHECK (length(CAST(PudErf AS BLOB)) <= 50),
  PudDat TEXT NOT NULL CHECK (datetime(julianday(PudDat)) IS PudDat AND PudDat >= '0001'),
  -- The write-back finds a request by its time stamp; person, day and type tell apart
  -- requests queued within the same second.
  PRIMARY KEY (PudDat, PudPnr, PudDtm, PudTyp)
);
CREATE INDEX Rvk740Pud_PlgKngDat ON Rvk740Pud (PudPlg, PudKng, PudDat);

CREATE TABLE Rvk730Bdp (
  BdpPnr TEXT NOT NULL CHECK (length(CAST(BdpPnr AS BLOB)) <= 8),
  BdpBdt TEXT NOT NULL CHECK (datetime(julianday(BdpBdt)) IS BdpBdt AND BdpBdt >= '0001'),
  BdpEso TEXT NOT NULL CHECK (length(CAST(BdpEso AS BLOB)) <= 5),
  BdpEsa TEXT NOT NULL CHECK (length(CAST(BdpEsa AS BLOB)) <= 5),
  BdpBsz TEXT CHECK (length(CAST(BdpBsz AS BLOB)) <= 3),
  BdpSzv INTEGER NOT NULL,
  BdpSzb INTEGER,
  BdpJhr INTEGER,
  BdpMon INTEGER,
  BdpWoc INTEGER,
  BdpJwc INTEGER,
  BdpTag INTEGER,
  BdpTtp TEXT CHECK (length(CAST(BdpTtp AS BLOB)) <= 3),
  BdpZtv INTEGER,
  BdpZtb INTEGER,
  BdpKst TEXT CHECK (length(CAST(BdpKst AS BLOB)) <= 10),
  BdpFc1 TEXT CHECK (length(CAST(BdpFc1 AS BLOB)) <= 3),
  BdpFc2 TEXT CHECK (length(CAST(BdpFc2 AS BLOB)) <= 3),
  BdpFc3 TEXT CHECK (length(CAST(BdpFc3 AS BLOB)) <= 3),
  BdpOso TEXT CHECK (length(CAST(BdpOso AS BLOB)) <= 5),
  BdpOsa TEXT CHECK (length(CAST(BdpOsa AS BLOB)) <= 5),
  BdpOsv INTEGER,
  BdpOsb INTEGER,
  BdpOsz TEXT CHECK (length(CAST(BdpOsz AS BLOB)) <= 3),
  BdpPlg TEXT CHECK (length(CAST(BdpPlg AS BLOB)) <= 5),
  BdpAsw INTEGER,
  BdpSts TEXT CHECK (length(CAST(BdpSts AS BLOB)) <= 1),
  BdpFnr INTEGER,
  BdpSta INTEGER,
  BdpDat TEXT CHECK (datetime(julianday(BdpDat)) IS BdpDat AND BdpDat >= '0001'),
  BdpTxt TEXT CHECK (length(CAST(BdpTxt AS BLOB)) <= 60),
  BdpErf TEXT CHECK (length(CAST(BdpErf AS BLOB)) <= 50),
  BdpAzt INTEGER,
  BdpId1 INTEGER,
  BdpId2 INTEGER,
  BdpId3 INTEGER,
  BdpId4 INTEGER,
  BdpId5 INTEGER,
  BdpId6 INTEGER,
  BdpId7 INTEGER,
  BdpId8 INTEGER,
  BdpRnd INTEGER,
  BdpAkt INTEGER,
  BdpBnr INTEGER,
  BdpAwp INTEGER,
  BdpPau INTEGER,
  BdpBzt INTEGER,
  BdpOsw INTEGER,
  PRIMARY KEY (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAkt, BdpAsw)
);
-- A person's rows of a day in the order of their slot start.
CREATE INDEX Rvk730Bdp_PnrBdtSzv ON Rvk730Bdp (BdpPnr, BdpBdt, BdpSzv);
-- The rows of a staffing slot, for its tallies. It holds every column they test, so that a
-- tally is counted from the index alone, without a read of each row.
CREATE INDEX Rvk730Bdp_Slot ON Rvk730Bdp (BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAsw, BdpSzb,
  BdpZtv, BdpZtb, BdpSts, BdpFc1, BdpFc2, BdpFc3);

CREATE TABLE Rvk725Bsm (
  BsmBdt TEXT NOT NULL CHECK (datetime(julianday(BsmBdt)) IS BsmBdt AND BsmBdt >= '0001'),
  BsmEso TEXT NOT NULL CHECK (length(CAST(BsmEso AS BLOB)) <= 5),
  BsmEsa TEXT NOT NULL CHECK (length(CAST(BsmEsa AS BLOB)) <= 5),
  BsmBsz TEXT CHECK (length(CAST(BsmBsz AS BLOB)) <= 3),
  BsmSzv INTEGER NOT NULL,
  BsmSzb INTEGER,
  BsmJhr INTEGER,
  BsmMon INTEGER,
  BsmWoc INTEGER,
  BsmJwc INTEGER,
  BsmTag INTEGER,
  BsmTtp TEXT CHECK (length(CAST(BsmTtp AS BLOB)) <= 3),
  BsmSol INTEGER,
  BsmMin INTEGER,
  BsmMax INTEGER,
  BsmIst INTEGER,
  BsmPlg TEXT CHECK (length(CAST(BsmPlg AS BLOB)) <= 5),
  BsmHtg INTEGER,
  BsmHtv INTEGER,
  BsmHtn INTEGER,
  BsmKng INTEGER,
  BsmFkt INTEGER,
  BsmAsw INTEGER,
  BsmSta INTEGER,
  BsmDat TEXT CHECK (datetime(julianday(BsmDat)) IS BsmDat AND BsmDat >= '0001'),
  BsmErf TEXT CHECK (length(CAST(BsmErf AS BLOB)) <= 50),
  BsmId1 INTEGER,
  BsmId2 INTEGER,
  BsmId3 INTEGER,
  BsmId4 INTEGER,
  BsmId5 INTEGER,
  BsmId6 INTEGER,
  BsmId7 INTEGER,
  BsmId8 INTEGER,
  BsmKor INTEGER,
  PRIMARY KEY (BsmBdt, BsmEso, BsmEsa, BsmSzv, BsmAsw)
);

-- Deviation rows are a log: the same deviation may be written twice within one second.
CREATE TABLE Rvk746Err (
  ErrPlg TEXT CHECK (length(CAST(ErrPlg AS BLOB)) <= 5),
  ErrKng TEXT CHECK (length(CAST(ErrKng AS BLOB)) <= 5),
  ErrDat TEXT CHECK (datetime(julianday(ErrDat)) IS ErrDat AND ErrDat >= '0001'),
  ErrLfn INTEGER,
  ErrPnr TEXT CHECK (length(CAST(ErrPnr AS BLOB)) <= 8),
  ErrEso TEXT CHECK (length(CAST(ErrEso AS BLOB)) <= 5),
  ErrEsa TEXT CHECK (length(CAST(ErrEsa AS BLOB)) <= 5),
  ErrKnz TEXT CHECK (length(CAST(ErrKnz AS BLOB)) <= 5),
  ErrBdt TEXT CHECK (datetime(julianday(ErrBdt)) IS ErrBdt AND ErrBdt >= '0001'),
  ErrZtv INTEGER,
  ErrZtb INTEGER,
  ErrFnr INTEGER,
  ErrErf TEXT CHECK (length(CAST(ErrErf AS BLOB)) <= 50),
  ErrJbd TEXT CHECK (length(CAST(ErrJbd AS BLOB)) <= 14),
  ErrJbk TEXT CHECK (length(CAST(ErrJbk AS BLOB)) <= 32)
);
CREATE INDEX Rvk746Err_PlgKngDat ON Rvk746Err (ErrPlg, ErrKng, ErrDat, ErrLfn);

CREATE TABLE rvk327tag (
  TagPnr TEXT NOT NULL CHECK (length(CAST(TagPnr AS BLOB)) <= 8),
  TagTag TEXT NOT NULL CHECK (datetime(julianday(TagTag)) IS TagTag AND TagTag >= '0001'),
  TagTgb TEXT CHECK (length(CAST(TagTgb AS BLOB)) <= 3),
  TagHtv TEXT CHECK (length(CAST(TagHtv AS BLOB)) <= 3),
  TagHtn TEXT CHECK (length(CAST(TagHtn AS BLOB)) <= 3),
  PRIMARY KEY (TagPnr, TagTag)
);
