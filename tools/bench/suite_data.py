"""The benchmark's suite database as rows, the same for both backends.

Persons work about five days in seven in one of 20 units, on a shift that rotates weekly
(early, late, night). Every slot (unit x shift x day) has a staffing row whose tallies match
the plan; most persons have day codes for most days; the queue holds single-day requests and,
one in ten, date-range requests that cut a person's plan in the last four weeks (a person
leaving). Dates are 'YYYY-MM-DD HH:MM:SS' texts, which both backends take as dates.
"""

import datetime
import random

PLAN_GROUP = "PLG01"
FIRST_DAY = datetime.date(2027, 1, 4)  # a Monday
UNITS = [f"ST{n:02d}" for n in range(1, 21)]
SHIFTS = [("FRUEH", "F", 600, 1400), ("SPAET", "S", 1400, 2200), ("NACHT", "N", 2200, 600)]
CREATED = "2026-12-01 08:00:00"
QUEUED_FROM = datetime.datetime(2027, 1, 2, 8, 0, 0)
RANGE_WINDOW_DAYS = 28
SLOT_KIND = 1
BLANK_CODE = "   "

BDP_COLUMNS = (
    "BdpPnr BdpBdt BdpEso BdpEsa BdpBsz BdpSzv BdpSzb BdpJhr BdpMon BdpWoc BdpJwc BdpTag "
    "BdpTtp BdpZtv BdpZtb BdpKst BdpFc1 BdpFc2 BdpFc3 BdpOso BdpOsa BdpOsv BdpOsb BdpOsz "
    "BdpPlg BdpAsw BdpSts BdpFnr BdpSta BdpDat BdpTxt BdpErf BdpAzt BdpId1 BdpId2 BdpId3 "
    "BdpId4 BdpId5 BdpId6 BdpId7 BdpId8 BdpRnd BdpAkt BdpBnr BdpAwp BdpPau BdpBzt BdpOsw"
).split()
BSM_COLUMNS = (
    "BsmBdt BsmEso BsmEsa BsmBsz BsmSzv BsmSzb BsmJhr BsmMon BsmWoc BsmJwc BsmTag BsmTtp "
    "BsmSol BsmMin BsmMax BsmIst BsmPlg BsmHtg BsmHtv BsmHtn BsmKng BsmFkt BsmAsw BsmSta "
    "BsmDat BsmErf BsmId1 BsmId2 BsmId3 BsmId4 BsmId5 BsmId6 BsmId7 BsmId8 BsmKor"
).split()
TAG_COLUMNS = "TagPnr TagTag TagTgb TagHtv TagHtn".split()
PUD_COLUMNS = "PudPnr PudDtm PudTyp PudKng PudTxc PudPlg PudErf PudDat".split()
BAK_COLUMNS = "BakDtm BakJhr BakMon BakTag BakWch BakWtg BakJtg".split()
BDT, ESO, ESA, STS, FC1, FC2, FC3 = (BDP_COLUMNS.index(c) for c in
                                     "BdpBdt BdpEso BdpEsa BdpSts BdpFc1 BdpFc2 BdpFc3".split())

# Status of a duty row: planned, two kinds that count as corrections, deleted, other.
STATUS_WEIGHTS = [("P", 965), ("U", 10), ("M", 5), ("D", 10), ("O", 10)]
# Day codes: leave, sickness, training, none.
DAY_CODE_WEIGHTS = [("URL", 4), ("KRK", 3), ("SEM", 1), (BLANK_CODE, 92)]
HALF_DAY_CODE_SHARE = 0.02
DAY_CODE_SHARE = 0.9
PARTIAL_SHARE = 0.08


def day_text(day):
    return day.strftime("%Y-%m-%d 00:00:00")


def person_number(person):
    return f"{10000001 + person:08d}"


def works_on(person, day_index):
    return (day_index + person) % 7 < 5


def shift_of(person, day_index):
    return SHIFTS[(person // len(UNITS) + day_index // 7) % len(SHIFTS)]


def calendar_fields(day):
    iso = day.isocalendar()
    return day.year, day.month, iso[1], iso[1], day.day, "WE " if day.weekday() >= 5 else "WT "


class Suite:
    """The rows of one generated suite database, table by table, produced as they are read.

    Each person's rows come from a random source of their own, so the day codes and the duty
    rows that carry them can be produced in separate passes without holding either in memory.
    The staffing rows take their tallies from the duty pass (run first if it has not been).
    """

    def __init__(self, persons, days, requests, groups=1, seed=14):
        self.persons = persons
        self.days = [FIRST_DAY + datetime.timedelta(days=i) for i in range(days)]
        self.day_texts = [day_text(day) for day in self.days]
        self.request_count = requests
        self.plan_groups = plan_groups(groups)
        self.seed = seed
        self.statuses = _weighted(STATUS_WEIGHTS)
        self.day_codes = _weighted(DAY_CODE_WEIGHTS)
        self.tallies = None

    def duty_row_count(self):
        return sum(1 for p in range(self.persons) for i in range(len(self.days)) if works_on(p, i))

    def slot_count(self):
        return len(self.days) * len(UNITS) * len(SHIFTS)

    def tags(self):
        for person in range(self.persons):
            yield from self._person(person)[0]

    def duty(self):
        tallies = {}
        for person in range(self.persons):
            for row in self._person(person)[1]:
                _tally(tallies, row)
                yield row
        self.tallies = tallies

    def _person(self, person):
        """The person's day codes and duty rows."""
        rng = random.Random(self.seed * 1000003 + person)
        pnr = person_number(person)
        unit = UNITS[person % len(UNITS)]
        tags, duty = [], []
        for index, day in enumerate(self.days):
            codes = (BLANK_CODE,) * 3
            if rng.random() < DAY_CODE_SHARE:
                codes = (rng.choice(self.day_codes), self._half_day_code(rng, "HTV"),
                         self._half_day_code(rng, "HTN"))
                tags.append((pnr, self.day_texts[index], *codes))
            if works_on(person, index):
                duty.append(self._duty_row(rng, person, pnr, unit, index, day, codes))
        return tags, duty

    @staticmethod
    def _half_day_code(rng, code):
        return code if rng.random() < HALF_DAY_CODE_SHARE else BLANK_CODE

    def _duty_row(self, rng, person, pnr, unit, index, day, codes):
        name, kind, start, end = shift_of(person, index)
        status = rng.choice(self.statuses)
        work_end = end
        if rng.random() < PARTIAL_SHARE:
            work_end = (end - 200) % 2400
        fc1, fc2, fc3 = codes
        year, month, week, year_week, mday, day_type = calendar_fields(day)
        values = {
            "BdpPnr": pnr, "BdpBdt": self.day_texts[index], "BdpEso": unit, "BdpEsa": name,
            "BdpBsz": kind, "BdpSzv": start, "BdpSzb": end, "BdpJhr": year, "BdpMon": month,
            "BdpWoc": week, "BdpJwc": year_week, "BdpTag": mday, "BdpTtp": day_type,
            "BdpZtv": start, "BdpZtb": work_end, "BdpKst": "K" + unit, "BdpFc1": fc1,
            "BdpFc2": fc2, "BdpFc3": fc3, "BdpOso": unit, "BdpOsa": name, "BdpOsv": start,
            "BdpOsb": end, "BdpOsz": kind, "BdpPlg": PLAN_GROUP, "BdpAsw": SLOT_KIND,
            "BdpSts": status, "BdpFnr": 0, "BdpSta": 0, "BdpDat": CREATED, "BdpTxt": None,
            "BdpErf": "planer", "BdpAzt": 480, "BdpRnd": 0, "BdpAkt": 1, "BdpBnr": person + 1,
            "BdpAwp": 0, "BdpPau": 30, "BdpBzt": 480, "BdpOsw": 0,
        }
        return tuple(values.get(column, 0) for column in BDP_COLUMNS)

    def staffing(self):
        if self.tallies is None:
            for _ in self.duty():
                pass
        tallies = self.tallies
        per_slot = self.persons / len(UNITS) * 5 / 7 / len(SHIFTS)
        target = max(1, round(per_slot))
        margin = max(1, target // 6)
        for day in self.days:
            year, month, week, year_week, mday, day_type = calendar_fields(day)
            for unit in UNITS:
                for name, kind, start, end in SHIFTS:
                    t = tallies.get((day_text(day), unit, name), {})
                    values = {
                        "BsmBdt": day_text(day), "BsmEso": unit, "BsmEsa": name, "BsmBsz": kind,
                        "BsmSzv": start, "BsmSzb": end, "BsmJhr": year, "BsmMon": month,
                        "BsmWoc": week, "BsmJwc": year_week, "BsmTag": mday, "BsmTtp": day_type,
                        "BsmSol": target, "BsmMin": target - margin, "BsmMax": target + margin,
                        "BsmIst": t.get("total", 0), "BsmPlg": PLAN_GROUP,
                        "BsmHtg": t.get("fc1", 0), "BsmHtv": t.get("fc2", 0),
                        "BsmHtn": t.get("fc3", 0), "BsmKng": 0, "BsmFkt": 0, "BsmAsw": SLOT_KIND,
                        "BsmSta": 0, "BsmDat": CREATED, "BsmErf": "planer",
                        "BsmKor": t.get("um", 0),
                    }
                    yield tuple(values.get(c, 0) for c in BSM_COLUMNS)

    # With several planning groups the queue is dealt out to them in turn: every group draws
    # from the same persons and days, so their runs compete for the same staffing slots.
    def requests(self):
        rng = random.Random(self.seed)
        window = self.days[-min(RANGE_WINDOW_DAYS, len(self.days)):]
        for number in range(self.request_count):
            person = person_number(rng.randrange(self.persons))
            date_range = number % 10 == 9
            day = rng.choice(window if date_range else self.days)
            queued = QUEUED_FROM + datetime.timedelta(seconds=number)
            group = self.plan_groups[number % len(self.plan_groups)]
            yield (person, day_text(day), 2 if date_range else 1, 1, 0, group, "planer",
                   queued.strftime("%Y-%m-%d %H:%M:%S"))

    # The calendar reaches beyond the plan: a range request looks up the day after its date.
    def calendar(self):
        first = self.days[0] - datetime.timedelta(days=31)
        last = self.days[-1] + datetime.timedelta(days=62)
        day = first
        while day <= last:
            weekday = (day.weekday() + 1) % 7  # 0 for Sunday
            yield (day_text(day), day.year, day.month, day.day, day.isocalendar()[1], weekday,
                   day.timetuple().tm_yday)
            day += datetime.timedelta(days=1)


def plan_groups(count):
    """The planning groups of the queue, the first of them PLAN_GROUP."""
    return [f"PLG{n:02d}" for n in range(1, count + 1)]


def _weighted(weights):
    return [value for value, weight in weights for _ in range(weight)]


def _tally(tallies, row):
    """Adds a duty row to its slot's tallies, counted the way the program recounts them."""
    t = tallies.setdefault((row[BDT], row[ESO], row[ESA]), {})
    status = row[STS]
    if status in ("U", "M"):
        t["um"] = t.get("um", 0) + 1
    if status in ("D", "O"):
        return
    t["total"] = t.get("total", 0) + 1
    for column, key in ((FC1, "fc1"), (FC2, "fc2"), (FC3, "fc3")):
        if row[column] != BLANK_CODE:
            t[key] = t.get(key, 0) + 1
