-- Tables of one planning schema (the file DIR/<schema>.db). Dates are TEXT
-- 'YYYY-MM-DD HH:MM:SS' in local time; the CHECKs keep any other form out, so that a
-- date compares and sorts as a date. Indexes make every statement of the program a lookup.
PRAGMA journal_mode = WAL;

CREATE TABLE Rvk740Pud (
  PudPnr TEXT,
  PudDtm TEXT CHECK (PudDtm GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  PudTyp INTEGER,
  PudKng INTEGER,
  PudTxc INTEGER,
  PudPlg TEXT NOT NULL,
  PudErf TEXT,
  PudDat TEXT NOT NULL CHECK (PudDat GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  -- The write-back finds a request by its time stamp; person, day and type tell apart
  -- requests queued within the same second.
  PRIMARY KEY (PudDat, PudPnr, PudDtm, PudTyp)
);
CREATE INDEX Rvk740Pud_PlgKngDat ON Rvk740Pud (PudPlg, PudKng, PudDat);

CREATE TABLE Rvk730Bdp (
  BdpPnr TEXT NOT NULL,
  BdpBdt TEXT NOT NULL CHECK (BdpBdt GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  BdpEso TEXT NOT NULL,
  BdpEsa TEXT NOT NULL,
  BdpBsz TEXT,
  BdpSzv INTEGER NOT NULL,
  BdpSzb INTEGER,
  BdpJhr INTEGER,
  BdpMon INTEGER,
  BdpWoc INTEGER,
  BdpJwc INTEGER,
  BdpTag INTEGER,
  BdpTtp TEXT,
  BdpZtv INTEGER,
  BdpZtb INTEGER,
  BdpKst TEXT,
  BdpFc1 TEXT,
  BdpFc2 TEXT,
  BdpFc3 TEXT,
  BdpOso TEXT,
  BdpOsa TEXT,
  BdpOsv INTEGER,
  BdpOsb INTEGER,
  BdpOsz TEXT,
  BdpPlg TEXT,
  BdpAsw INTEGER,
  BdpSts TEXT,
  BdpFnr INTEGER,
  BdpSta INTEGER,
  BdpDat TEXT CHECK (BdpDat GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  BdpTxt TEXT,
  BdpErf TEXT,
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
-- The rows of a staffing slot, for its tallies.
CREATE INDEX Rvk730Bdp_Slot ON Rvk730Bdp (BdpBdt, BdpEso, BdpEsa, BdpSzv, BdpAsw, BdpSzb);

CREATE TABLE Rvk725Bsm (
  BsmBdt TEXT NOT NULL CHECK (BsmBdt GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  BsmEso TEXT NOT NULL,
  BsmEsa TEXT NOT NULL,
  BsmBsz TEXT,
  BsmSzv INTEGER NOT NULL,
  BsmSzb INTEGER,
  BsmJhr INTEGER,
  BsmMon INTEGER,
  BsmWoc INTEGER,
  BsmJwc INTEGER,
  BsmTag INTEGER,
  BsmTtp TEXT,
  BsmSol INTEGER,
  BsmMin INTEGER,
  BsmMax INTEGER,
  BsmIst INTEGER,
  BsmPlg TEXT,
  BsmHtg INTEGER,
  BsmHtv INTEGER,
  BsmHtn INTEGER,
  BsmKng INTEGER,
  BsmFkt INTEGER,
  BsmAsw INTEGER,
  BsmSta INTEGER,
  BsmDat TEXT CHECK (BsmDat GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  BsmErf TEXT,
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
  ErrPlg TEXT,
  ErrKng TEXT,
  ErrDat TEXT CHECK (ErrDat GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  ErrLfn INTEGER,
  ErrPnr TEXT,
  ErrEso TEXT,
  ErrEsa TEXT,
  ErrKnz TEXT,
  ErrBdt TEXT CHECK (ErrBdt GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  ErrZtv INTEGER,
  ErrZtb INTEGER,
  ErrFnr INTEGER,
  ErrErf TEXT,
  ErrJbd TEXT,
  ErrJbk TEXT
);
CREATE INDEX Rvk746Err_PlgKngDat ON Rvk746Err (ErrPlg, ErrKng, ErrDat, ErrLfn);

CREATE TABLE rvk327tag (
  TagPnr TEXT NOT NULL,
  TagTag TEXT NOT NULL CHECK (TagTag GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  TagTgb TEXT,
  TagHtv TEXT,
  TagHtn TEXT,
  PRIMARY KEY (TagPnr, TagTag)
);
