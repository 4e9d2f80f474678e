#include "kestrumel-config/config_entries.h"

#include <iterator>

#include "kestrumel-config/value_cipher.h"

namespace {

// The program drops the last character of the schema value, so one more is stored.
constexpr char kSchemaFiller = ' ';

}  // namespace

std::vector<ConfigEntry> EntriesFor(const OperatorValues& values) {
  const std::string stored[] = {values.net, values.schema + kSchemaFiller, values.login, values.password};
  std::vector<ConfigEntry> entries;
  for (size_t i = 0; i < std::size(kConfigKeys); ++i) {
    entries.push_back({kConfigKeys[i], static_cast<int>(i) + 1, stored[i]});
  }
  return entries;
}

std::string SecondLinePrefix(const ConfigEntry& entry) {
  return std::to_string(entry.number) + ";" + entry.key + ";";
}

// The section is the key itself and the number non-zero: a record with an empty section or
// the number 0 would answer every key's lookup.
std::string RecordText(const ConfigEntry& entry) {
  return std::string(";") + entry.key + ";\n" + SecondLinePrefix(entry) + EncipherValue(entry.stored) + "\n";
}
