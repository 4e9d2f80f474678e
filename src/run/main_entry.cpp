#include "run/main_entry.h"

#include <string>

#include "db/connect.h"
#include "log/message_log.h"
#include "plan/deviation.h"
#include "run/client_environment.h"
#include "run/request_loop.h"
#include "run/run_parameters.h"
#include "run/startup_values.h"

namespace {

constexpr int kMinimumArgumentCount = 9;
constexpr int32_t kLogMask = DMSG | SMSG | FMSG;
constexpr int32_t kUpdateJob = 4;

// Read by the request loop and the deviation rows for the whole run.
RunParameters g_runParameters;

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
  WipeStartupValues(values);
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
