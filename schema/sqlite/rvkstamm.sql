-- The shared calendar (the file DIR/RVKSTAMM.db), one row per day. Dates as in schema.sql.
PRAGMA journal_mode = WAL;

CREATE TABLE Rvk133Bak (
  BakDtm TEXT NOT NULL PRIMARY KEY
    CHECK (BakDtm GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'),
  BakJhr INTEGER,
  BakMon INTEGER,
  BakTag INTEGER,
  BakWch INTEGER,
  BakWtg INTEGER,
  BakJtg INTEGER
);
