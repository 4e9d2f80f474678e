#include "config/startup_values.h"

#include <cstdio>
#include <cstring>

#include "common/text_field.h"
#include "config/config_reader.h"
#include "platform/environment.h"
#include "platform/secure_zero.h"

namespace {

// The deciphered value of `key`, or "" when there is no configuration file or no such key.
// The configuration result is wiped right away: it may hold the password.
std::string LookUpValue(const char* key, const char* configPath) {
  if (configPath == nullptr) return "";
  GetConfigValue("", key, 0, configPath);
  char* found = g_configRecord.value;
  std::string value(found, strnlen(found, sizeof g_configRecord.value));
  platform::SecureZero(g_configRecord.value, sizeof g_configRecord.value);
  return value;
}

// Takes a value of 1 to N-1 characters; any other length leaves the field empty.
template <size_t N>
void TakeValue(char (&field)[N], std::string value) {
  if (!value.empty() && value.size() <= N - 1) CopyField(field, value.c_str());
  platform::SecureZero(value.data(), value.size());
}

// The schema is stored with one trailing character more than its name: 1 to 21 characters
// give a name of 0 to 20.
void TakeSchema(char (&field)[21], std::string value) {
  if (!value.empty() && value.size() <= sizeof field) {
    value.pop_back();
    CopyField(field, value.c_str());
  }
  platform::SecureZero(value.data(), value.size());
}

}  // namespace

void ReadStartupValues(const char* configPath, StartupValues& values) {
  std::memset(&values, 0, sizeof values);
  TakeValue(values.netService, LookUpValue("NET8", configPath));
  TakeSchema(values.schema, LookUpValue("SCHEMA", configPath));
  TakeValue(values.user, LookUpValue("LOGIN", configPath));
  TakeValue(values.password, LookUpValue("PASS", configPath));
}

void WipeStartupValues(StartupValues& values) { platform::SecureZero(&values, sizeof values); }

void ClearClientEnvironment() {
  for (const std::string& name : platform::EnvironmentNames()) {
    if (name.compare(0, 2, "PG") == 0) platform::RemoveEnvironmentVariable(name);
  }
}

std::string LogFileName(const char* schema) {
  return std::string("../quelborne_php/log/kestrumel_") + schema + ".log";
}

namespace {

bool IsPlainNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

std::string EscapedForFileName(const char* text) {
  std::string escaped;
  for (const char* c = text; *c != '\0'; ++c) {
    if (IsPlainNameCharacter(*c)) {
      escaped += *c;
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(*c));
      escaped += hex;
    }
  }
  return escaped;
}

}  // namespace

std::string RunReportFileName(const char* schema, const char* group) {
  return "../quelborne_php/log/kestrumel_" + EscapedForFileName(schema) + "_" +
         EscapedForFileName(group) + ".json";
}

std::string ReportedGroup(const char* argument) {
  if (argument == nullptr) return "";
  std::string group(argument, strnlen(argument, 5));
  return group.substr(0, group.find(' '));
}
