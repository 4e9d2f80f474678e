#include "db/work.h"

#include "db/runtime/runtime.h"

static const char* Work_Commit_Sql = "commit";
static const char* Work_Rollback_Sql = "rollback";

int Work_Commit() { return db::SqlExecute(Work_Commit_Sql); }

int Work_Rollback() { return db::SqlExecute(Work_Rollback_Sql); }

int Work_Fault() { return db::SqlFault(); }

bool Work_ConnectionLost() { return db::SqlConnectionLost(); }
