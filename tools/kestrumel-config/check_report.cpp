#include "kestrumel-config/check_report.h"

namespace {

constexpr size_t kMaxProblemsShown = 10;

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return "ok";
    case Verdict::kWarn: return "warn";
    case Verdict::kFail: return "FAIL";
    case Verdict::kSkipped: return "skip";
  }
  return "?";
}

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}

}  // namespace

bool CheckReport::Failed() const {
  for (const CheckResult& result : results) {
    if (result.verdict == Verdict::kFail) return true;
  }
  return false;
}

std::string FirstLine(const std::string& text) {
  size_t end = text.find_first_of("\r\n");
  return end == std::string::npos ? text : text.substr(0, end);
}

std::string Masked(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at)) {
    text.replace(at, secret.size(), "********");
    at += 8;
  }
  return text;
}

// A finding per line under its check, the first ten of a long list and then their count.
void PrintText(const CheckReport& report, FILE* out) {
  std::fprintf(out, "kestrumel-config check %s%s%s\n", report.config.c_str(),
               report.planGroup.empty() ? "" : ", planning group ", report.planGroup.c_str());
  for (const CheckResult& result : report.results) {
    std::fprintf(out, "%-5s %-13s %s\n", VerdictText(result.verdict), result.name.c_str(),
                 result.summary.c_str());
    size_t shown = result.problems.size() < kMaxProblemsShown ? result.problems.size()
                                                               : kMaxProblemsShown;
    for (size_t i = 0; i < shown; ++i) std::fprintf(out, "%20s%s\n", "", result.problems[i].c_str());
    if (shown < result.problems.size()) {
      std::fprintf(out, "%20sand %zu more\n", "", result.problems.size() - shown);
    }
    if (!result.advice.empty()) std::fprintf(out, "%20s-> %s\n", "", result.advice.c_str());
  }
}

void PrintJson(const CheckReport& report, FILE* out) {
  std::string json = "{\"config\":" + JsonString(report.config);
  json += ",\"planGroup\":" + (report.planGroup.empty() ? "null" : JsonString(report.planGroup));
  json += ",\"failed\":";
  json += report.Failed() ? "true" : "false";
  json += ",\"checks\":[";
  for (size_t i = 0; i < report.results.size(); ++i) {
    const CheckResult& result = report.results[i];
    if (i > 0) json += ",";
    json += "{\"name\":" + JsonString(result.name);
    json += ",\"verdict\":" + JsonString(VerdictText(result.verdict));
    json += ",\"summary\":" + JsonString(result.summary);
    json += ",\"problems\":[";
    for (size_t k = 0; k < result.problems.size(); ++k) {
      if (k > 0) json += ",";
      json += JsonString(result.problems[k]);
    }
    json += "],\"advice\":" + JsonString(result.advice) + "}";
  }
  json += "]}\n";
  std::fputs(json.c_str(), out);
}
