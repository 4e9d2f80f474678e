-- A small planning schema KDEMO for the demo: one early slot over four days, three
-- people planned into it, their day codes, and a queue of requests for group PLG01.
ATTACH DATABASE 'RVKSTAMM.db' AS RVKSTAMM;

-- The calendar, December 2026 and January 2027.
WITH RECURSIVE day(d) AS (
  SELECT date('2026-12-01') UNION ALL SELECT date(d, '+1 day') FROM day WHERE d < '2027-01-31')
INSERT INTO RVKSTAMM.Rvk133Bak
SELECT d || ' 00:00:00', CAST(strftime('%Y', d) AS INTEGER), CAST(strftime('%m', d) AS INTEGER),
       CAST(strftime('%d', d) AS INTEGER), CAST(strftime('%W', d) AS INTEGER),
       CAST(strftime('%w', d) AS INTEGER), CAST(strftime('%j', d) AS INTEGER)
FROM day;

-- Staffing of slot STAT1/FRUEH, 06:00 to 14:00: target 2, minimum 1, maximum 3.
INSERT INTO Rvk725Bsm (BsmBdt, BsmEso, BsmEsa, BsmBsz, BsmSzv, BsmSzb, BsmSol, BsmMin, BsmMax,
                       BsmIst, BsmPlg, BsmHtg, BsmHtv, BsmHtn, BsmKng, BsmFkt, BsmAsw, BsmKor,
                       BsmDat)
VALUES ('2026-12-14 00:00:00', 'STAT1', 'FRUEH', 'F', 600, 1400, 2, 1, 3, 2, 'PLG01', 0, 0, 0, 0, 0, 1, 0, '2026-12-01 08:00:00'),
       ('2026-12-15 00:00:00', 'STAT1', 'FRUEH', 'F', 600, 1400, 2, 1, 3, 2, 'PLG01', 0, 0, 0, 0, 0, 1, 0, '2026-12-01 08:00:00'),
       ('2026-12-16 00:00:00', 'STAT1', 'FRUEH', 'F', 600, 1400, 2, 1, 3, 2, 'PLG01', 0, 0, 0, 0, 0, 1, 0, '2026-12-01 08:00:00'),
       ('2026-12-17 00:00:00', 'STAT1', 'FRUEH', 'F', 600, 1400, 2, 1, 3, 2, 'PLG01', 0, 0, 0, 0, 0, 1, 0, '2026-12-01 08:00:00');

-- Duty plan: Anna and Ben in the slot every day; Carl's row of the 14th is marked deleted.
INSERT INTO Rvk730Bdp (BdpPnr, BdpBdt, BdpEso, BdpEsa, BdpBsz, BdpSzv, BdpSzb, BdpZtv, BdpZtb,
                       BdpFc1, BdpFc2, BdpFc3, BdpPlg, BdpAsw, BdpSts, BdpAkt, BdpTxt, BdpDat)
SELECT p.pnr, d.bdt, 'STAT1', 'FRUEH', 'F', 600, 1400, 600, 1400, '   ', '   ', '   ', 'PLG01', 1,
       'P', 1, p.txt, '2026-12-01 08:00:00'
FROM (SELECT '10000001' AS pnr, 'Anna' AS txt UNION ALL SELECT '10000002', 'Ben') AS p,
     (SELECT '2026-12-14 00:00:00' AS bdt UNION ALL SELECT '2026-12-15 00:00:00'
      UNION ALL SELECT '2026-12-16 00:00:00' UNION ALL SELECT '2026-12-17 00:00:00') AS d;
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
