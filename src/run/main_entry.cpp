#include "run/main_entry.h"

#include <cstring>
#include <string>

#include "common/text_field.h"
#include "config/config_reader.h"
#include "db/connect.h"
#include "log/message_log.h"
#include "plan/deviation.h"
#include "run/client_environment.h"
#include "run/request_loop.h"
#include "run/run_parameters.h"

namespace {

constexpr int kMinimumArgumentCount = 9;
constexpr int32_t kLogMask = DMSG | SMSG | FMSG;
constexpr int32_t kUpdateJob = 4;

// Read by the request loop and the deviation rows for the whole run.
RunParameters g_runParameters;

// What start-up takes from the configuration file; wiped once the connect is done.
struct StartupValues {
  char netService[201];
  char schema[21];
  char user[201];
  char password[201];
};

// Overwrites memory in a way the compiler may not drop, so no credential outlives its use.
void Wipe(void* memory, size_t size) { explicit_bzero(memory, size); }

// The deciphered value of `key`, or "" when there is no configuration file or no such key.
// The configuration result is wiped right away: it may hold the password.
std::string LookUpValue(const char* key, const char* configPath) {
  if (configPath == nullptr) return "";
  GetConfigValue("", key, 0, configPath);
  char* found = g_configRecord.value;
  std::string value(found, strnlen(found, sizeof g_configRecord.value));
  Wipe(g_configRecord.value, sizeof g_configRecord.value);
  return value;
}

// Takes a value of 1 to N-1 characters; any other length leaves the field empty.
template <size_t N>
void TakeValue(char (&field)[N], std::string value) {
  if (!value.empty() && value.size() <= N - 1) CopyField(field, value.c_str());
  Wipe(value.data(), value.size());
}

// The schema is stored with one trailing character more than its name: 1 to 21 characters
// give a name of 0 to 20.
void TakeSchema(char (&field)[21], std::string value) {
  if (!value.empty() && value.size() <= sizeof field) {
    value.pop_back();
    CopyField(field, value.c_str());
  }
  Wipe(value.data(), value.size());
}

void ReadStartupValues(const char* configPath, StartupValues& values) {
  std::memset(&values, 0, sizeof values);
  TakeValue(values.netService, LookUpValue("NET8", configPath));
  TakeSchema(values.schema, LookUpValue("SCHEMA", configPath));
  TakeValue(values.user, LookUpValue("LOGIN", configPath));
  TakeValue(values.password, LookUpValue("PASS", configPath));
}

// The shared log of all runs of a schema, next to the working directory.
std::string LogFileName(const char* schema) {
  return std::string("../quelborne_php/log/kestrumel_") + schema + ".log";
}

// Connects; false (after logging) when the connect or the schema switch failed.
bool Connect(const StartupValues& values) {
  int status = dbConnect(values.user, values.password, values.netService, values.schema);
  if (status != 0) LogError("dbConnect", "Fehlerhafter Connect mit der DB ", 0);
  return status == 0;
}

}  // namespace

int Main(int argc, char** argv) {
  ClearClientEnvironment();
  StartupValues values;
  ReadStartupValues(argc > 1 ? argv[1] : nullptr, values);
  // Lives as long as the run, whatever the log keeps of it.
  std::string logFileName = LogFileName(values.schema);
  SetLogFile(kLogMask, logFileName.c_str());
  bool connected = Connect(values);
  Wipe(&values, sizeof values);
  if (!connected) return 0;

  if (argc < kMinimumArgumentCount) {
    LogError("Main()", "Mindestanzahl Parameter(9) unterschritten", argc);
    return 0;
  }
  ParseRunParameters(argc, argv, g_runParameters);
  Err_Init(g_runParameters.planGroup, RunErrRecord(), g_runParameters.erfText,
           g_runParameters.jbdText, g_runParameters.jbkText, kUpdateJob);
  ProcessRequests(g_runParameters);
  return 0;
}
