#pragma once
// What start-up takes from the configuration file, read the one way the program and its
// check share.
#include <string>

// Each field empty when its key is missing or its value does not fit.
struct StartupValues {
  char netService[201];
  char schema[21];
  char user[201];
  char password[201];
};

void ReadStartupValues(const char* configPath, StartupValues& values);

// The program takes its settings only from its configuration file and command line. Database
// client libraries would also read their own environment variables (libpq every PG* variable,
// for each setting a connect leaves empty, also inside an ODBC driver), so those go first.
void ClearClientEnvironment();

// Overwrites the values in a way the compiler may not drop, so no credential outlives its use.
void WipeStartupValues(StartupValues& values);

// The shared log of all runs of a schema, next to the working directory.
std::string LogFileName(const char* schema);

// The report of the runs of one schema and planning group (as ReportedGroup gives it), beside the
// log. A character that could lead out of the log's folder or that a file name cannot hold is
// written as %XX, so every schema and group has a name of its own.
std::string RunReportFileName(const char* schema, const char* group);

// The planning group argument as the report gives it: its first five characters, cut before the
// first blank, "00000" kept.
std::string ReportedGroup(const char* argument);
