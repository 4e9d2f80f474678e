#pragma once
// The run's parameters, taken from the command line once before the request loop.
struct RunParameters {
  char planGroup[6];
  char erfText[51];
  char jbdText[15];
  char jbkText[33];
};

void ParseRunParameters(int argc, char** argv, RunParameters& parameters);
