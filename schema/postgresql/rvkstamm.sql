-- The shared calendar, one row per day, in schema RVKSTAMM (unquoted, so rvkstamm):
--   CREATE SCHEMA rvkstamm; SET search_path TO rvkstamm; then this file.
-- Dates are timestamp(0): the seconds of an Oracle DATE, no time zone.
CREATE TABLE Rvk133Bak (
  BakDtm timestamp(0) NOT NULL PRIMARY KEY,
  BakJhr integer,
  BakMon integer,
  BakTag integer,
  BakWch integer,
  BakWtg integer,
  BakJtg integer
);
