// kestrumel-config show: each key's record as the program's own lookup finds it.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "config/config_reader.h"
#include "kestrumel-config/commands.h"
#include "kestrumel-config/config_entries.h"

namespace {

constexpr size_t kMaxSchemaValueChars = 21;

// Control characters (a value deciphered with garbage in it) are shown as \xNN.
std::string Printable(const char* text) {
  std::string shown;
  for (const char* c = text; *c != '\0'; ++c) {
    unsigned char code = static_cast<unsigned char>(*c);
    if (code < 0x20 || code == 0x7F) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", code);
      shown += escaped;
    } else {
      shown += *c;
    }
  }
  return shown;
}

// The program takes a schema value of 1 to 21 characters without its last one.
std::string SchemaAsTheProgramTakesIt(const std::string& value) {
  return value.empty() || value.size() > kMaxSchemaValueChars ? "" : value.substr(0, value.size() - 1);
}

std::string ShownValue(const std::string& key, const char* value, bool showPassword) {
  if (key == "SCHEMA") {
    return Printable(SchemaAsTheProgramTakesIt(value).c_str());
  }
  if (key == "PASS" && !showPassword && *value != '\0') {
    return "********";
  }
  return Printable(value);
}

bool IsCleared(const ConfigRecord& record) {
  return record.section[0] == '\0' && record.name[0] == '\0' && record.value[0] == '\0' && record.number == 0;
}

}  // namespace

int RunShow(const std::string& path, bool showPassword) {
  FILE* probe = std::fopen(path.c_str(), "r");
  if (probe == nullptr) {
    std::fprintf(stderr, "kestrumel-config: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
    return kExitFailure;
  }
  std::fclose(probe);
  int status = kExitOk;
  for (const char* key : kConfigKeys) {
    GetConfigValue("", key, 0, path.c_str());
    if (IsCleared(g_configRecord)) {
      std::printf("%s: not found\n", key);
      status = kExitFailure;
      continue;
    }
    std::printf("%s: number=%d name=%s section=%s value=%s\n", key, g_configRecord.number,
                Printable(g_configRecord.name).c_str(), Printable(g_configRecord.section).c_str(),
                ShownValue(key, g_configRecord.value, showPassword).c_str());
  }
  return status;
}
