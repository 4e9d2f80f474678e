// kestrumel-config: writes and shows the configuration file of kestrumel.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "kestrumel-config/commands.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrumel-config write FILE --net NET8VALUE --schema SCHEMA --login LOGIN\n"
    "       kestrumel-config show FILE [--show-password]\n"
    "       kestrumel-config check FILE [PLANGROUP] [--format text|json]\n"
    "       kestrumel-config status FILE PLANGROUP [--max-age MINUTES] [--format text|json]\n"
    "       kestrumel-config preview FILE PLANGROUP [--format text|json]\n"
    "       kestrumel-config selftest FILE [--format text|json]\n"
    "       kestrumel-config --help\n"
    "       kestrumel-config --version\n"
    "\n"
    "write  enciphers the values and replaces FILE (mode 0600); the password is read from\n"
    "       the first line of standard input.\n"
    "show   prints, for each key, the record the program finds and its deciphered value;\n"
    "       the password is masked unless --show-password is given.\n"
    "check  connects as the program would, read-only, and checks the configuration, the\n"
    "       tables, indexes, privileges, calendar and queue (of PLANGROUP or of every group)\n"
    "       and the log directory seen from the working directory; it changes nothing.\n"
    "status reads the run report of PLANGROUP's last run beside the log, without a\n"
    "       database, and prints one line for monitoring; a report older than MINUTES\n"
    "       counts as unknown.\n"
    "preview works off PLANGROUP's pending requests as a run would, in one transaction\n"
    "       that is rolled back, and prints the rows the run would change and the log\n"
    "       entries it would write; it keeps nothing.\n"
    "selftest runs the program's request handling on a small scenario of its own in one\n"
    "       transaction that is rolled back, and compares each result; it keeps nothing.\n"
    "\n"
    "Exit status: 0 done, 1 file not readable or writable or a key missing, 2 bad command\n"
    "line or a value the program could not use. check: 0 nothing failed (warnings may be\n"
    "shown), 1 a check failed, 2 a bad command line or a configuration not usable.\n"
    "status: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN (no or an unreadable or too old\n"
    "report, or a bad command line), as monitoring checks answer.\n";

enum class Parsed { kRun, kHelp, kBad };

using Arguments = std::vector<std::string>;

// FILE must not look like an option: a missing FILE would otherwise take the next option's name.
bool IsFileArgument(const std::string& argument) { return !argument.empty() && argument[0] != '-'; }

Parsed ParseWrite(const Arguments& args, WriteOptions& options) {
  std::optional<std::string> net, schema, login;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--help") {
      return Parsed::kHelp;
    }
    std::optional<std::string>* target =
        args[i] == "--net" ? &net : args[i] == "--schema" ? &schema : args[i] == "--login" ? &login : nullptr;
    if (target == nullptr || target->has_value() || i + 1 >= args.size()) {
      return Parsed::kBad;
    }
    *target = args[++i];
  }
  if (!net || !schema || !login) {
    return Parsed::kBad;
  }
  options = {args[1], *net, *schema, *login};
  return Parsed::kRun;
}

Parsed ParseShow(const Arguments& args, bool& showPassword) {
  showPassword = false;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--help") {
      return Parsed::kHelp;
    }
    if (args[i] != "--show-password" || showPassword) {
      return Parsed::kBad;
    }
    showPassword = true;
  }
  return Parsed::kRun;
}

// PLANGROUP as the program takes its planning group: five characters, cut at a blank.
Parsed ParseCheck(const Arguments& args, CheckOptions& options) {
  options = {args[1], "", false};
  bool groupSeen = false, formatSeen = false;
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--help") return Parsed::kHelp;
    if (args[i] == "--format" && !formatSeen && i + 1 < args.size() &&
        (args[i + 1] == "json" || args[i + 1] == "text")) {
      options.json = args[++i] == "json";
      formatSeen = true;
    } else if (!groupSeen && IsFileArgument(args[i])) {
      options.planGroup = args[i].substr(0, 5);
      options.planGroup = options.planGroup.substr(0, options.planGroup.find(' '));
      groupSeen = true;
    } else {
      return Parsed::kBad;
    }
  }
  return groupSeen && (options.planGroup.empty() || options.planGroup == "00000") ? Parsed::kBad
                                                                                 : Parsed::kRun;
}

// MINUTES: a whole number from 1 on.
bool ParseMinutes(const std::string& text, int& minutes) {
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  minutes = std::stoi(text);
  return minutes > 0;
}

Parsed ParseStatus(const Arguments& args, StatusOptions& options) {
  options = {};
  bool ageSeen = false, formatSeen = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--help") return Parsed::kHelp;
  }
  if (args.size() < 3 || !IsFileArgument(args[1]) || !IsFileArgument(args[2])) return Parsed::kBad;
  options.configPath = args[1];
  options.planGroup = args[2];
  for (size_t i = 3; i < args.size(); ++i) {
    bool hasValue = i + 1 < args.size();
    if (args[i] == "--format" && !formatSeen && hasValue &&
        (args[i + 1] == "json" || args[i + 1] == "text")) {
      options.json = args[++i] == "json";
      formatSeen = true;
    } else if (args[i] == "--max-age" && !ageSeen && hasValue &&
               ParseMinutes(args[i + 1], options.maxAgeMinutes)) {
      ++i;
      ageSeen = true;
    } else {
      return Parsed::kBad;
    }
  }
  return Parsed::kRun;
}

Parsed ParsePreview(const Arguments& args, PreviewOptions& options) {
  CheckOptions check;
  Parsed parsed = ParseCheck(args, check);
  if (parsed != Parsed::kRun) return parsed;
  if (check.planGroup.empty()) return Parsed::kBad;  // a preview is of one group
  options = {check.configPath, check.planGroup, check.json};
  return Parsed::kRun;
}

Parsed ParseSelftest(const Arguments& args, SelftestOptions& options) {
  CheckOptions check;
  Parsed parsed = ParseCheck(args, check);
  if (parsed != Parsed::kRun) return parsed;
  if (!check.planGroup.empty()) return Parsed::kBad;  // the scenario brings its own group
  options = {check.configPath, check.json};
  return Parsed::kRun;
}

// A monitoring system shows stdout's first line: the usage goes to stderr after it.
int StatusUsage(Parsed parsed) {
  if (parsed == Parsed::kHelp) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::puts("KESTRUMEL UNKNOWN - bad command line, see kestrumel-config --help");
  std::fputs(kUsage, stderr);
  return kStatusUnknown;
}

int Usage(Parsed parsed) {
  std::fputs(kUsage, parsed == Parsed::kHelp ? stdout : stderr);
  return parsed == Parsed::kHelp ? kExitOk : kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "--help") {
    return Usage(Parsed::kHelp);
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("kestrumel-config %s\n", KESTRUMEL_VERSION);
    return kExitOk;
  }
  if (!args.empty() && args[0] == "status") {
    StatusOptions options;
    Parsed parsed = ParseStatus(args, options);
    return parsed == Parsed::kRun ? RunStatus(options) : StatusUsage(parsed);
  }
  if (args.size() < 2 || !IsFileArgument(args[1])) {
    return Usage(args.size() >= 2 && args[1] == "--help" ? Parsed::kHelp : Parsed::kBad);
  }
  if (args[0] == "write") {
    WriteOptions options;
    Parsed parsed = ParseWrite(args, options);
    return parsed == Parsed::kRun ? RunWrite(options) : Usage(parsed);
  }
  if (args[0] == "show") {
    bool showPassword = false;
    Parsed parsed = ParseShow(args, showPassword);
    return parsed == Parsed::kRun ? RunShow(args[1], showPassword) : Usage(parsed);
  }
  if (args[0] == "check") {
    CheckOptions options;
    Parsed parsed = ParseCheck(args, options);
    return parsed == Parsed::kRun ? RunCheck(options) : Usage(parsed);
  }
  if (args[0] == "preview") {
    PreviewOptions options;
    Parsed parsed = ParsePreview(args, options);
    return parsed == Parsed::kRun ? RunPreview(options) : Usage(parsed);
  }
  if (args[0] == "selftest") {
    SelftestOptions options;
    Parsed parsed = ParseSelftest(args, options);
    return parsed == Parsed::kRun ? RunSelftest(options) : Usage(parsed);
  }
  // Started by selftest itself, so left out of the usage.
  if (args[0] == "selftest-hold" && args.size() == 5) {
    return RunSelftestHold(args[1], args[2], args[3], args[4]);
  }
  return Usage(Parsed::kBad);
}
