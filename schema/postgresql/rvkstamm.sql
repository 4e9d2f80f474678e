-- The shared calendar, one row per day, in schema RVKSTAMM (unquoted, so rvkstamm):
--   CREATE SCHEMA rvkstamm; SET search_path TO rvkstamm; then this file.
-- Dates are timestamp(0): the seconds of an Oracle DATE, no time zone, years 1 to 9999.
CREATE TABLE Rvk133Bak (
  BakDtm timestamp(0) NOT NULL PRIMARY KEY CHECK (BakDtm >= '0001-01-01' AND BakDtm < '10000-01-01'),
  BakJhr integer,
  BakMon integer,
  BakTag integer,
  BakWch integer,
  BakWtg integer,
  BakJtg integer
);
