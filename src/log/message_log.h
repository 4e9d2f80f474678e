#pragma once
// The message log: German error entries appended to a shared text file, with rotation.
#include <cstdint>

enum LogKind : int32_t {
  DMSG = 1,
  SMSG = 2,
  FMSG = 4,
  WMSG = 8,
  CMSG = 16,
};

struct LogEntry {
  const char* funcName;
  const char* message;
  int32_t kind;
  int32_t errorCode;
  const unsigned char* dumpData;
  int32_t dumpLength;
};

// Sets the enable mask and the file name (nullptr keeps the default "msg.dat").
void SetLogFile(int32_t mask, const char* fileName);
// Appends one entry; the caller learns nothing of the outcome.
void WriteLogEntry(const LogEntry& entry);

// The usual entry of this program: kind FMSG with a function name, message and status.
inline void LogError(const char* funcName, const char* message, int32_t errorCode) {
  WriteLogEntry(LogEntry{funcName, message, FMSG, errorCode, nullptr, 0});
}
