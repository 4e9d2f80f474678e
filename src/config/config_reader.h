#pragma once
// The configuration file: two-line records, the value of the selected one deciphered.
#include <cstdint>

struct ConfigRecord {
  char section[201];
  int32_t number;
  char name[201];
  char value[201];
};

// The line buffers of the reading: the first line of a record takes at most 199 characters,
// the second at most 399; a longer line is split and its rest read as the next line.
constexpr int kConfigFirstLineSize = 200;
constexpr int kConfigSecondLineSize = 400;

// The result of the last GetConfigValue call.
extern ConfigRecord g_configRecord;

// Selects the first record of the file whose section, name or number equals the requested
// one and leaves it, value deciphered, in g_configRecord; cleared when none is selected.
void GetConfigValue(const char* section, const char* name, int32_t number, const char* path);

// Position of the n-th `c` in `text`, or of its last one when there are fewer; -1 when there
// is none (or n < 1).
int FindNthChar(const char* text, char c, int n);

// Copies `length` characters from `start` (0: up to the end), stopping at the end of the text,
// and terminates the copy. The destination must hold them.
void CopySubText(const char* text, int start, int length, char* destination);
