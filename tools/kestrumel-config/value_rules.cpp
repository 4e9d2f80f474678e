#include "kestrumel-config/value_rules.h"

#include <algorithm>

#include "config/config_reader.h"
#include "kestrumel-config/value_cipher.h"

namespace {

// The program takes 1 to 200 characters of a value and a schema name of at most 20.
constexpr size_t kMaxValueChars = 200;
constexpr size_t kMaxSchemaChars = 20;

// What the reader keeps of a record: the value field, and a second line whose line end
// still fits the line buffer (it holds size - 1 characters, the LF among them).
constexpr size_t kMaxStoredHex = sizeof(ConfigRecord::value) - 1;
constexpr size_t kMaxSecondLine = kConfigSecondLineSize - 2;

// A connection too long for the file is kept where the client library looks it up by name.
constexpr const char* kShortNet8 =
    "; name a connection service instead: postgresql://?service=NAME with NAME's settings in "
    "pg_service.conf, or for ODBC odbc:DSN=NAME with a data source in odbc.ini";

std::string WayOut(const std::string& key) { return key == "NET8" ? kShortNet8 : ""; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A letter, then letters, digits, '_', '$' or '#': a schema name the session can be switched to
// without quoting.
bool IsPlainIdentifier(const std::string& text) {
  return !text.empty() && IsLetter(text[0]) && std::all_of(text.begin(), text.end(), [](char c) {
    return IsLetter(c) || IsDigit(c) || c == '_' || c == '$' || c == '#';
  });
}

void CheckText(const char* key, const std::string& value, size_t maxChars, std::vector<std::string>& refusals) {
  std::string name(key);
  if (value.empty()) {
    refusals.push_back(name + " is empty");
  } else if (value.size() > maxChars) {
    refusals.push_back(name + " has " + std::to_string(value.size()) + " characters, at most " +
                       std::to_string(maxChars) + " are allowed" + WayOut(name));
  } else if (value.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
    refusals.push_back(name + " contains a NUL, CR or LF character");
  }
}

// The enciphered value must reach the reader whole.
void CheckFits(const ConfigEntry& entry, std::vector<std::string>& refusals) {
  size_t room = std::min(kMaxStoredHex, kMaxSecondLine - SecondLinePrefix(entry).size());
  size_t length = EncipheredLength(entry.stored.size());
  if (length > room) {
    size_t maxStored = room / 2 / 8 * 8;  // whole blocks of 8 bytes, two characters each
    refusals.push_back(std::string(entry.key) + " enciphered takes " + std::to_string(length) +
                       " characters, the configuration file holds at most " + std::to_string(room) +
                       " (a stored value of at most " + std::to_string(maxStored) + " bytes)" +
                       WayOut(entry.key));
  }
}

}  // namespace

std::vector<std::string> RefusalsOf(const OperatorValues& values) {
  std::vector<std::string> refusals;
  CheckText("NET8", values.net, kMaxValueChars, refusals);
  CheckText("SCHEMA", values.schema, kMaxSchemaChars, refusals);
  if (!values.schema.empty() && !IsPlainIdentifier(values.schema)) {
    refusals.push_back("SCHEMA must be a letter followed by letters, digits, '_', '$' or '#'");
  }
  CheckText("LOGIN", values.login, kMaxValueChars, refusals);
  CheckText("PASS", values.password, kMaxValueChars, refusals);
  if (refusals.empty()) {
    for (const ConfigEntry& entry : EntriesFor(values)) {
      CheckFits(entry, refusals);
    }
  }
  return refusals;
}
