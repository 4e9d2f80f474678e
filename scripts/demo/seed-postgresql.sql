-- The demo scenario of seed.sql for PostgreSQL: schema kdemo, one early slot over four days,
-- three people planned into it, their day codes, and a queue of requests for group PLG01.
SET search_path TO kdemo;

-- The calendar, December 2026 and January 2027. The week is counted as SQLite's %W does
-- (week 1 starts with the year's first Monday), so both demos hold the same calendar.
INSERT INTO rvkstamm.Rvk133Bak
SELECT d, extract(year FROM d), extract(month FROM d), extract(day FROM d),
       (extract(doy FROM d)::integer + 7 - extract(isodow FROM d)::integer) / 7,
       extract(dow FROM d), extract(doy FROM d)
FROM generate_series(timestamp '2026-12-01', timestamp '2027-01-31', interval '1 day') AS d;

-- Staffing of slot STAT1/FRUEH, 06:00 to 14:00: target 2, minimum 1, maximum 3.
INSERT INTO Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmBsz, BsmSzv, BsmSzb, BsmSol, BsmMin, BsmMax,
                       BsmIst, BsmPlg, BsmHtg, BsmHtv, BsmHtn, BsmKng, BsmFkt, BsmAsw, BsmKor,
                       BsmDat)
SELECT d, 'STAT1', 'FRUEH', 'F', 600, 1400, 2, 1, 3, 2, 'PLG01', 0, 0, 0, 0, 0, 1, 0,
       '2026-12-01 08:00:00'
FROM generate_series(timestamp '2026-12-14', timestamp '2026-12-17', interval '1 day') AS d;

-- Duty plan: Anna and Ben in the slot every day; Carl's row of the 14th is marked deleted.
INSERT INTO Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpBsz, BdpSzv, BdpSzb, BdpZtv, BdpZtb,
                       BdpFc1, BdpFc2, BdpFc3, BdpPlg, BdpAsw, BdpSts, BdpAkt, BdpTxt, BdpDat)
SELECT p.pnr, d, 'STAT1', 'FRUEH', 'F', 600, 1400, 600, 1400, '   ', '   ', '   ', 'PLG01', 1,
       'P', 1, p.txt, '2026-12-01 08:00:00'
FROM (VALUES ('10000001', 'Anna'), ('10000002', 'Ben')) AS p (pnr, txt),
     generate_series(timestamp '2026-12-14', timestamp '2026-12-17', interval '1 day') AS d;
INSERT INTO Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpBsz, BdpSzv, BdpSzb, BdpZtv, BdpZtb,
                       BdpFc1, BdpFc2, BdpFc3, BdpPlg, BdpAsw, BdpSts, BdpAkt, BdpTxt, BdpDat)
VALUES ('10000003', '2026-12-14 00:00:00', 'STAT1', 'FRUEH', 'F', 600, 1400, 600, 1400,
        '   ', '   ', '   ', 'PLG01', 1, 'D', 1, 'Carl', '2026-12-01 08:00:00');

-- Anna is on leave (URL) on the 14th.
INSERT INTO rvk327tag (TagPnr, TagTag, TagTgb, TagHtv, TagHtn)
VALUES ('10000001', '2026-12-14 00:00:00', 'URL', '   ', '   ');

-- The queue: Anna's day codes of the 14th, Ben's plan removed from the 16th on, a request of
-- a type this program does not handle, and a request of another group that stays untouched.
INSERT INTO Rvk740Pud (PudPnr, PudDtm, PudTyp, PudKng, PudTxc, PudPlg, PudErf, PudDat)
VALUES ('10000001', '2026-12-14 00:00:00', 1, 1, 0, 'PLG01', 'planer', '2026-12-08 09:00:01'),
       ('10000002', '2026-12-16 00:00:00', 2, 1, 0, 'PLG01', 'planer', '2026-12-08 09:00:02'),
       ('10000003', '2026-12-15 00:00:00', 7, 1, 0, 'PLG01', 'planer', '2026-12-08 09:00:03'),
       ('10000009', '2026-12-14 00:00:00', 1, 1, 0, 'PLG02', 'planer', '2026-12-08 09:00:04');
