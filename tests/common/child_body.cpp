#include "common/child_body.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "common/process.h"
#include "common/temp_path.h"

namespace testing_child {
namespace {

// What tells a started test executable to run a body rather than its tests.
constexpr const char* kChildMarker = "--kestrumel-child";

std::map<std::string, Body>& Bodies() {
  static std::map<std::string, Body> bodies;
  return bodies;
}

}  // namespace

Registration::Registration(const std::string& name, Body body) { Bodies()[name] = body; }

bool RunRequestedBody(const std::vector<std::string>& args, int& status) {
  if (args.size() < 3 || args[1] != kChildMarker) return false;
  auto body = Bodies().find(args[2]);
  status = body != Bodies().end() ? body->second({args.begin() + 3, args.end()}) : 127;
  return true;
}

std::unique_ptr<testing_run::RunningProgram> Start(const std::string& name,
                                                   const std::vector<std::string>& args,
                                                   const std::string& workingDir) {
  std::vector<std::string> childArgs{kChildMarker, name};
  childArgs.insert(childArgs.end(), args.begin(), args.end());
  std::string directory = workingDir;
  if (directory.empty()) directory = testing_files::TextOf(std::filesystem::current_path());
  return std::make_unique<testing_run::RunningProgram>(testing_process::ThisExecutable(),
                                                       childArgs, directory);
}

Flag::Flag() {
  std::error_code error;
  std::string folder = testing_files::TextOf(std::filesystem::temp_directory_path(error));
  path_ = testing_files::UniqueName(folder, "kestrumel-flag-");
}

Flag::~Flag() {
  std::error_code ignored;
  std::filesystem::remove(testing_files::PathOf(path_), ignored);
}

bool Flag::WaitRaised(std::chrono::milliseconds limit) const {
  return testing_child::WaitRaised(path_, limit);
}

void Raise(const std::string& flagPath) {
  std::ofstream flag(testing_files::PathOf(flagPath), std::ios::binary);
}

bool WaitRaised(const std::string& flagPath, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  std::error_code error;
  while (!std::filesystem::exists(testing_files::PathOf(flagPath), error)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace testing_child
