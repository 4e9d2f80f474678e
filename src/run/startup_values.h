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

// Overwrites the values in a way the compiler may not drop, so no credential outlives its use.
void WipeStartupValues(StartupValues& values);

// The shared log of all runs of a schema, next to the working directory.
std::string LogFileName(const char* schema);
