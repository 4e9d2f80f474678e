// kestrumel-config write: checks the values, enciphers them and replaces the file.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <termios.h>
#include <unistd.h>

#include "kestrumel-config/atomic_file.h"
#include "kestrumel-config/commands.h"
#include "kestrumel-config/config_entries.h"
#include "kestrumel-config/value_rules.h"

namespace {

constexpr mode_t kOwnerOnly = 0600;  // the file holds the database password

// The first line of standard input without its line end (LF or CR LF); on a terminal the
// typing is not echoed.
std::string ReadPassword() {
  termios saved{};
  bool quiet = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    termios noEcho = saved;
    noEcho.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &noEcho);
    std::fputs("Password: ", stderr);
  }
  std::string line;
  std::getline(std::cin, line);
  if (quiet) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
  }
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
  int error = WriteFileAtomically(options.path, content, kOwnerOnly);
  if (error != 0) {
    std::fprintf(stderr, "kestrumel-config: cannot write %s: %s\n", options.path.c_str(), std::strerror(error));
    return kExitFailure;
  }
  return kExitOk;
}
