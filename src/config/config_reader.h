#pragma once
// The configuration file: two-line records, the value of the selected one deciphered.
#include <cstdint>

struct ConfigRecord {
  char section[201];
  int32_t number;
  char name[201];
  char value[201];
};

// The result of the last GetConfigValue call.
extern ConfigRecord g_configRecord;

void GetConfigValue(const char* section, const char* name, int32_t number, const char* path);
int FindNthChar(const char* text, char c, int n);
void CopySubText(const char* text, int start, int length, char* destination);
