#pragma once
// The records kestrumel-config writes: one per key, each answering only its own name.
#include <string>
#include <vector>

// The keys in the order the program looks them up; a key's record number is its place, from 1.
inline constexpr const char* kConfigKeys[] = {"NET8", "SCHEMA", "LOGIN", "PASS"};

struct OperatorValues {
  std::string net;
  std::string schema;  // as the operator knows it, without the stored trailing character
  std::string login;
  std::string password;
};

struct ConfigEntry {
  const char* key;
  int number;
  std::string stored;  // the plain text as it goes into the file, before enciphering
};

std::vector<ConfigEntry> EntriesFor(const OperatorValues& values);

// What precedes the enciphered value on the record's second line.
std::string SecondLinePrefix(const ConfigEntry& entry);

// Both lines of the record, each ending in LF.
std::string RecordText(const ConfigEntry& entry);
