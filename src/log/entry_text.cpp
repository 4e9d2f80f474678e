#include "log/entry_text.h"

#include <cstdio>

namespace message_log {
namespace {

struct KindName {
  int32_t bit;
  const char* text;
};

constexpr KindName kKindNames[] = {
    {DMSG, "DMSG "}, {SMSG, "SMSG "}, {FMSG, "FMSG "}, {WMSG, "WMSG "}, {CMSG, "CMSG "},
};

constexpr const char* kLineEnd = "\r\n";

// Three numbers of two digits each, such as 23.04.09 or 13:24:59.
std::string TwoDigitTriple(int first, int second, int third, char separator) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d%c%02d%c%02d", first, separator, second, separator, third);
  return text;
}

// Every kind named in the entry, enabled or not, in bit order.
std::string KindText(int32_t kind) {
  std::string text;
  for (const KindName& name : kKindNames) {
    if ((kind & name.bit) != 0) text += name.text;
  }
  return text;
}

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

std::string FormatEntryText(const LogEntry& entry, int32_t mask, const std::tm& localTime) {
  std::string text;
  text += kEntryStart;
  text += TwoDigitTriple(localTime.tm_mday, localTime.tm_mon + 1, (localTime.tm_year + 1900) % 100, '.');
  text += "\r\nSystem-Time: ";
  text += TwoDigitTriple(localTime.tm_hour, localTime.tm_min, localTime.tm_sec, ':');
  text += "\r\nMsgArt_____: ";
  text += KindText(entry.kind);
  // The message block has no length limit: a long message is written whole.
  text += "\r\nMessage____: ";
  text += OrEmpty(entry.message);
  text += "\r\nFunktion___: ";
  text += OrEmpty(entry.funcName);
  text += "\r\nErrorCode__: ";
  text += std::to_string(entry.errorCode);
  text += kLineEnd;

  const int32_t enabled = entry.kind & mask;
  if ((enabled & DMSG) != 0) {
    if (entry.dumpData != nullptr && entry.dumpLength > 0) {
      text.append(reinterpret_cast<const char*>(entry.dumpData), static_cast<size_t>(entry.dumpLength));
    }
    text += kLineEnd;
  }
  if ((enabled & SMSG) != 0) {
    text += kLineEnd;  // the system block
    text += kLineEnd;
  }
  return text;
}

std::string CompanionName(const std::string& logFileName) {
  const size_t lastSeparator = logFileName.find_last_of("/\\");
  const size_t fileNameStart = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
  const size_t firstDot = logFileName.find('.', fileNameStart);
  return logFileName.substr(0, firstDot) + ".old";
}

}  // namespace message_log
