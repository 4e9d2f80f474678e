-- The shared calendar (the file DIR/RVKSTAMM.db), one row per day. Dates as in schema.sql.
PRAGMA journal_mode = WAL;

CREATE TABLE Rvk133Bak (
  BakDtm TEXT NOT NULL PRIMARY KEY
    CHECK (datetime(julianday(BakDtm)) IS BakDtm AND BakDtm >= '0001'),
  BakJhr INTEGER,
  BakMon INTEGER,
  BakTag INTEGER,
  BakWch INTEGER,
  BakWtg INTEGER,
  BakJtg INTEGER
);
