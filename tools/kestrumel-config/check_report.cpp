#include "kestrumel-config/check_report.h"

#include "kestrumel-config/flat_json.h"

namespace {

constexpr size_t kMaxLinesShown = 10;

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::kOk: return "ok";
    case Verdict::kWarn: return "warn";
    case Verdict::kFail: return "FAIL";
    case Verdict::kSkipped: return "skip";
  }
  return "?";
}

// Under their check, the first ten of a long list and then their count.
void PrintLines(const std::vector<std::string>& lines, FILE* out) {
  size_t shown = lines.size() < kMaxLinesShown ? lines.size() : kMaxLinesShown;
  for (size_t i = 0; i < shown; ++i) std::fprintf(out, "%20s%s\n", "", lines[i].c_str());
  if (shown < lines.size()) std::fprintf(out, "%20sand %zu more\n", "", lines.size() - shown);
}
std::string JsonList(const std::vector<std::string>& texts) {
  std::string list = "[";
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) list += ",";
    list += JsonQuoted(texts[i]);
  }
  return list + "]";
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

void PrintText(const CheckReport& report, FILE* out) {
  std::fprintf(out, "kestrumel-config %s %s%s%s\n", report.command.c_str(), report.config.c_str(),
               report.planGroup.empty() ? "" : ", planning group ", report.planGroup.c_str());
  for (const CheckResult& result : report.results) {
    std::fprintf(out, "%-5s %-13s %s\n", VerdictText(result.verdict), result.name.c_str(),
                 result.summary.c_str());
    PrintLines(result.details, out);
    PrintLines(result.problems, out);
    if (!result.advice.empty()) std::fprintf(out, "%20s-> %s\n", "", result.advice.c_str());
  }
}

void PrintJson(const CheckReport& report, FILE* out) {
  std::string json = "{\"config\":" + JsonQuoted(report.config);
  json += ",\"planGroup\":" + (report.planGroup.empty() ? "null" : JsonQuoted(report.planGroup));
  json += ",\"failed\":";
  json += report.Failed() ? "true" : "false";
  json += ",\"checks\":[";
  for (size_t i = 0; i < report.results.size(); ++i) {
    const CheckResult& result = report.results[i];
    if (i > 0) json += ",";
    json += "{\"name\":" + JsonQuoted(result.name);
    json += ",\"verdict\":" + JsonQuoted(VerdictText(result.verdict));
    json += ",\"summary\":" + JsonQuoted(result.summary);
    json += ",\"details\":" + JsonList(result.details);
    json += ",\"problems\":" + JsonList(result.problems);
    json += ",\"advice\":" + JsonQuoted(result.advice) + "}";
  }
  json += "]}\n";
  std::fputs(json.c_str(), out);
}
