// The two text operations of the configuration parsing.
#include <cstring>

#include "config/config_reader.h"

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
