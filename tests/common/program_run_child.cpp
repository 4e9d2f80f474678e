// Kept apart from program_run.cpp: only test executables that link the program's own code
// (and so have Main) pull this in, and with it the child body that runs Main.
#include <string>
#include <vector>

#include "common/child_body.h"
#include "common/program_run.h"
#include "run/main_entry.h"

namespace testing_run {
namespace {

constexpr const char* kMainBody = "program-main";
constexpr const char* kNoFault = "-";

// Arguments: the fault (op, n-th call, status, statement text; op "-" for none), then the
// program's arguments. The child was started in the program's working directory.
int MainBody(const std::vector<std::string>& args) {
  if (args.size() < 4) return 125;
  if (args[0] != kNoFault) {
    db::FaultSeam_Arm(static_cast<db::FaultOp>(std::stoi(args[0])), args[3].c_str(),
                      std::stoi(args[1]), std::stoi(args[2]));
  }
  std::vector<std::string> argvText{ProgramPath()};
  argvText.insert(argvText.end(), args.begin() + 4, args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  return Main(static_cast<int>(argvText.size()), argv.data());
}

const testing_child::Registration kMain(kMainBody, &MainBody);

}  // namespace

ProgramResult RunMainInChild(const std::string& workingDir, const std::vector<std::string>& args,
                             const std::optional<ChildFault>& fault) {
  std::vector<std::string> bodyArgs{kNoFault, "0", "0", ""};
  if (fault) {
    bodyArgs = {std::to_string(static_cast<int>(fault->op)), std::to_string(fault->nthCall),
                std::to_string(fault->status), fault->textFragment};
  }
  bodyArgs.insert(bodyArgs.end(), args.begin(), args.end());
  return testing_child::Start(kMainBody, bodyArgs, workingDir)->Wait();
}

}  // namespace testing_run
