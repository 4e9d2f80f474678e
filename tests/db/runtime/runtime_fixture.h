#pragma once
// The database suites of the runtime: every test runs on each backend of TestBackends(), on
// a fresh database, with the runtime of this process connected to it. Each file derives its
// own suite and instantiates it.
#include <gtest/gtest.h>

#include <memory>

#include "common/backend_test.h"
#include "common/test_db.h"
#include "db/runtime/backend.h"
#include "db/runtime/fault_seam.h"
#include "db/runtime/runtime.h"

class RuntimeTest : public testing_db::BackendTest {
 protected:

  // A day-code row through the admin connection, the simplest table to work with.
  void InsertTag(const std::string& pnr, const std::string& day, const std::string& tgb) {
    db->Exec("insert into rvk327tag (TagPnr, TagTag, TagTgb, TagHtv, TagHtn) values ('" + pnr +
             "', '" + day + " 00:00:00', '" + tgb + "', 'v', 'n')");
  }
  testing_db::Cell TagTgb(const std::string& pnr) {
    return db->Scalar("select TagTgb from rvk327tag where TagPnr='" + pnr + "'");
  }
};

// Statement texts in the form the table modules use.
inline constexpr const char* kUpdateTgb =
    "update rvk327tag  set TagTgb=:b0 where TagPnr=:b1";
inline constexpr const char* kInsertTag =
    "insert into rvk327tag (TagPnr,TagTag,TagTgb) values (:b0,TO_DATE(:b1,'yyyymmdd'),:b2)";
inline constexpr const char* kSelectTgb =
    "select TagTgb into :b0:b1  from rvk327tag where TagPnr=:b2";
