// The configuration file reader: records of two lines, the first selected one answers.
#include "config/config_reader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "config/blowfish.h"

ConfigRecord g_configRecord;

namespace {

constexpr const char* kCipherKey = "KELDRUM";
constexpr int kMaxNumberChars = 11;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

enum class LineRead { kNone, kWhole, kSplit };

// Reads one line without its LF or CR LF into a buffer of `size` bytes: kSplit when the buffer
// filled first (the rest is read as the next line), kNone at the end of the file.
LineRead ReadLine(FILE* file, char* line, int size) {
  int length = 0;
  while (length < size - 1) {
    int c = std::getc(file);
    if (c == '\r') {
      int next = std::getc(file);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, file);
      }
    }
    if (c == '\n' || c == EOF) {
      line[length] = '\0';
      return c == EOF && length == 0 ? LineRead::kNone : LineRead::kWhole;
    }
    line[length++] = static_cast<char>(c);
  }
  line[length] = '\0';
  return LineRead::kSplit;
}

// Copies `length` characters from `start` into a field of `capacity` bytes; false when they do
// not fit. An empty field (two adjacent ';', or nothing after the last) is the empty text: read
// to the line's end it could match the record by accident, and rejected it would let a later
// record answer a lookup that this one plainly claims.
bool TakeField(const char* line, int start, int length, char* field, size_t capacity) {
  if (length <= 0) {
    field[0] = '\0';
    return true;
  }
  if (static_cast<size_t>(length) >= capacity) {
    return false;
  }
  CopySubText(line, start, length, field);
  return true;
}

// The number text as a decimal integer: leading blanks, an optional sign, digits up to the
// first other character, 0 without digits. False when it does not fit 32 bits.
bool TakeNumber(const char* text, int32_t& number) {
  const long long value = std::strtoll(text, nullptr, 10);  // at most 11 characters: no overflow
  if (value < INT32_MIN || value > INT32_MAX) return false;
  number = static_cast<int32_t>(value);
  return true;
}

// The section: between the first and second ';' of the first line, empty with fewer ';'.
bool TakeSection(const char* firstLine, ConfigRecord& record) {
  int first = FindNthChar(firstLine, ';', 1);
  int second = FindNthChar(firstLine, ';', 2);
  return TakeField(firstLine, first + 1, second - first - 1, record.section, sizeof record.section);
}

// The second line: number ';' name ';' value, the value running to the line end (one ';': no
// name). A line without ';', or with a field too long for its buffer, is rejected.
bool TakeNumberNameValue(const char* secondLine, ConfigRecord& record) {
  int first = FindNthChar(secondLine, ';', 1);
  if (first < 0 || first > kMaxNumberChars) {
    return false;
  }
  char numberText[kMaxNumberChars + 1];
  TakeField(secondLine, 0, first, numberText, sizeof numberText);
  int second = FindNthChar(secondLine, ';', 2);
  int valueStart = second + 1;
  int valueLength = static_cast<int>(std::strlen(secondLine)) - valueStart;
  return TakeNumber(numberText, record.number) &&
         TakeField(secondLine, first + 1, second - first - 1, record.name, sizeof record.name) &&
         TakeField(secondLine, valueStart, valueLength, record.value, sizeof record.value);
}

bool IsSelected(const ConfigRecord& record, const char* section, const char* name, int32_t number) {
  return std::strcmp(record.section, section) == 0 || std::strcmp(record.name, name) == 0 ||
         record.number == number;
}

}  // namespace

void GetConfigValue(const char* section, const char* name, int32_t number, const char* path) {
  g_configRecord = ConfigRecord{};
  // Binary: a Windows C library would otherwise turn CR LF into LF and end the file at a ^Z.
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    return;
  }
  char firstLine[kConfigFirstLineSize];
  char secondLine[kConfigSecondLineSize];
  while (ReadLine(file.get(), firstLine, kConfigFirstLineSize) != LineRead::kNone) {
    LineRead second = ReadLine(file.get(), secondLine, kConfigSecondLineSize);
    if (second == LineRead::kNone) {
      return;  // an odd last line is no record
    }
    ConfigRecord record{};
    // A split second line holds a value longer than the buffer: skipped rather than cut.
    if (second == LineRead::kSplit || !TakeSection(firstLine, record) ||
        !TakeNumberNameValue(secondLine, record) || !IsSelected(record, section, name, number)) {
      continue;
    }
    g_configRecord = record;
    DecipherValue(record.value, g_configRecord.value, kCipherKey);
    return;
  }
}

int FindNthChar(const char* text, char c, int n) {
  int position = -1;
  int seen = 0;
  for (int i = 0; text[i] != '\0' && seen < n; ++i) {
    if (text[i] == c) {
      position = i;
      ++seen;
    }
  }
  return position;
}

void CopySubText(const char* text, int start, int length, char* destination) {
  size_t available = std::strlen(text);
  if (start < 0 || length < 0 || static_cast<size_t>(start) > available) {
    destination[0] = '\0';
    return;
  }
  available -= static_cast<size_t>(start);
  size_t count = length == 0 || static_cast<size_t>(length) > available ? available : static_cast<size_t>(length);
  std::memcpy(destination, text + start, count);
  destination[count] = '\0';
}
