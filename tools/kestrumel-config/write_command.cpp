// kestrumel-config write: checks the values, enciphers them and replaces the file.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "kestrumel-config/commands.h"
#include "kestrumel-config/config_entries.h"
#include "kestrumel-config/value_rules.h"
#include "platform/hidden_input.h"
#include "platform/owner_only_file.h"

namespace {

// The first line of standard input without its line end (LF or CR LF); on a terminal the
// typing is not echoed.
std::string ReadPassword() {
  std::string line;
  bool quiet = false;
  {
    platform::HiddenInput hidden;
    quiet = hidden.IsTerminal();
    if (quiet) std::fputs("Password: ", stderr);
    std::getline(std::cin, line);
  }
  if (quiet) std::fputs("\n", stderr);
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  return line;
}

}  // namespace

int RunWrite(const WriteOptions& options) {
  OperatorValues values{options.net, options.schema, options.login, ReadPassword()};
  std::vector<std::string> refusals = RefusalsOf(values);
  for (const std::string& refusal : refusals) {
    std::fprintf(stderr, "kestrumel-config: refused: %s\n", refusal.c_str());
  }
  if (!refusals.empty()) {
    return kExitRefused;
  }
  std::string content;
  for (const ConfigEntry& entry : EntriesFor(values)) {
    content += RecordText(entry);
  }
  int error = platform::ReplaceWithOwnerOnlyFile(options.path, content);
  if (error != 0) {
    std::fprintf(stderr, "kestrumel-config: cannot write %s: %s\n", options.path.c_str(), std::strerror(error));
    return kExitFailure;
  }
  return kExitOk;
}
