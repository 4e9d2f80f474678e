#pragma once
// A generated plan with a queue of requests, what a run leaves of it, and the program run on
// it: shared by the tests that interrupt or disturb a run and compare the result with one
// whole, undisturbed run.
#include <memory>
#include <string>

#include "common/program_run.h"
#include "common/test_db.h"

namespace run_tests {

// Which requests of the generated queue a tree holds, and how its staffing targets are set.
struct PlanShape {
  std::string group = "PLG01";
  int firstRequest = 0;
  int requests = 300;
  // Targets that every count misses the same way: each recount then records the same
  // deviation whatever the order of the requests, so that requests done out of order (tried
  // again later, or interleaved with another run) end as if done in order. This holds for up
  // to 60 requests, each of a different person.
  bool targetsMissedAlike = false;
  // A request whose person has no day codes that day goes first: a data error to log.
  bool firstWithoutDayCodes = false;
};

// Persons in four units and three shifts working five days in seven, a few rows of status D or
// O, a staffing slot per unit, shift and day, day codes for every person and day, a calendar
// around the days, and a queue of type 1 and type 2 requests (one in eight deletes the plan from
// its day on) of `shape.group`, one second apart.
void GenerateTree(testing_db::TestDb& db, const PlanShape& shape);

// Adds the requests of `shape` (its group and range) to a generated tree.
void AddRequests(testing_db::TestDb& db, const PlanShape& shape);

// What a run leaves, time stamps and running numbers aside; deviation rows as a multiset.
struct Outcome {
  testing_db::Rows duty, slots, deviations, queue;
  bool operator==(const Outcome&) const = default;
};
Outcome Snapshot(testing_db::TestDb& db);

// A fresh database with a generated plan, and its run directory.
struct Tree {
  std::unique_ptr<testing_db::TestDb> db;
  std::unique_ptr<testing_run::RunDir> dir;

  // Null members (after a reported failure) when the database cannot be made.
  static Tree Generate(const testing_db::Backend& backend, const PlanShape& shape);
  // The same on a database made elsewhere (null: one that could not be made).
  static Tree GenerateOn(std::unique_ptr<testing_db::TestDb> db, const PlanShape& shape);

  testing_run::ProgramResult RunWhole(const std::string& group) const;
  std::unique_ptr<testing_run::RunningProgram> Start(const std::string& group) const;
  testing_run::ParsedLog Log() const;
  // The run report of `group` as its file holds it ("" when there is none), and what
  // "kestrumel-config status" says of it.
  std::string Report(const std::string& group) const;
  testing_run::ProgramResult Status(const std::string& group) const;
  long Pending() const;  // requests of state 1
  long Done() const;     // requests of state 3, finished and not yet deleted
};

// A field of a run report: its value's text up to the next comma, brace or line end, quotes
// removed ("" when the report lacks it). Reports are flat enough for this.
std::string ReportField(const std::string& report, const std::string& key);

// PostgreSQL only: each done mark's update sleeps, so that a run lasts long enough to be
// disturbed, or that a statement timeout strikes every request.
void SlowDoneMarks(testing_db::TestDb& db, double seconds);
void NormalDoneMarks(testing_db::TestDb& db);

// Whether `count` requests of `tree` are marked done within a generous time.
bool WaitUntilDone(const Tree& tree, long count);

// Whether a run on `db` waits for a lock within a few seconds: as a PostgreSQL server shows
// it; on SQLite, which shows no waits, assumed after a second.
bool WaitUntilWaitingForALock(testing_db::TestDb& db, const testing_db::Backend& backend);

// A run of `group` on `tree` completes what is pending; the database is sound and as
// `expected` (the result of the undisturbed runs).
void ExpectRerunCompletesLikeAWholeRun(const Tree& tree, const std::string& group,
                                       const testing_db::Backend& backend,
                                       const Outcome& expected, const std::string& what);

}  // namespace run_tests
