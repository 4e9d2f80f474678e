#include "db/odbc/connection_string.h"

#include <cctype>

#include "db/runtime/letter_case.h"
#include "db/status.h"

namespace db::odbc {
namespace {

constexpr std::string_view kPrefix = "odbc:";

// UID/PWD are ODBC's own; the others are the spellings PostgreSQL's and Oracle's drivers
// also accept, in any case.
constexpr std::string_view kCredentialKeys[] = {"uid", "pwd", "user", "username", "password"};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// The end of the value starting at `begin`: a braced value ends at its lone '}' ('}}' stands
// for one), a plain one at the next ';'.
size_t ValueEnd(std::string_view text, size_t begin) {
  size_t i = begin;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '{') {
    for (++i; i < text.size(); ++i) {
      if (text[i] != '}') continue;
      if (i + 1 < text.size() && text[i + 1] == '}') {
        ++i;
        continue;
      }
      return text.find(';', i);
    }
    return std::string_view::npos;
  }
  return text.find(';', begin);
}

// An attribute value as it goes into the string: as it stands when nothing in it could end or
// open a value, else in braces with each '}' doubled, so that ';', '{', '}' and outer blanks
// are taken as they stand. (PostgreSQL's driver keeps the braces of a braced UID as part of
// the name; it reads a braced PWD right.)
std::string QuotedValue(std::string_view value) {
  bool plain = !value.empty() && value.find_first_of(";{}") == std::string_view::npos &&
               Trimmed(value).size() == value.size();
  if (plain) return std::string(value);
  std::string quoted = "{";
  for (char c : value) {
    quoted += c;
    if (c == '}') quoted += '}';
  }
  return quoted + "}";
}

// Where an attribute stands: its key's start, its value's start and the end of its value
// (npos at the end of the text).
struct AttributePlace {
  size_t keyBegin = 0, valueBegin = 0, valueEnd = 0;
};

// Where the attribute `name` stands; false when there is none.
bool FindAttribute(std::string_view connection, std::string_view name, AttributePlace& place) {
  size_t begin = 0;
  while (begin < connection.size()) {
    size_t equals = connection.find('=', begin);
    size_t semicolon = connection.find(';', begin);
    if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
      if (semicolon == std::string_view::npos) return false;
      begin = semicolon + 1;  // an attribute without a value
      continue;
    }
    std::string_view key = Trimmed(connection.substr(begin, equals - begin));
    size_t end = ValueEnd(connection, equals + 1);
    if (SameIgnoringCase(key, name)) {
      place = {begin, equals + 1, end};
      return true;
    }
    if (end == std::string_view::npos) return false;
    begin = end + 1;
  }
  return false;
}

// The value at `place`, braces undone.
std::string ValueAt(std::string_view connection, const AttributePlace& place) {
  size_t length = place.valueEnd == std::string_view::npos ? std::string_view::npos
                                                           : place.valueEnd - place.valueBegin;
  std::string_view raw = Trimmed(connection.substr(place.valueBegin, length));
  if (raw.size() < 2 || raw.front() != '{' || raw.back() != '}') return std::string(raw);
  std::string value;
  for (size_t i = 1; i + 1 < raw.size(); ++i) {
    value += raw[i];
    if (raw[i] == '}') ++i;  // '}}' stands for one
  }
  return value;
}

bool NamesCredentials(std::string_view connection) {
  for (std::string_view credential : kCredentialKeys) {
    if (NamesAttribute(connection, credential)) return true;
  }
  return false;
}

}  // namespace

bool NamesAttribute(std::string_view connection, std::string_view name) {
  AttributePlace place;
  return FindAttribute(connection, name, place);
}

bool AttributeValue(std::string_view connection, std::string_view name, std::string& value) {
  AttributePlace place;
  if (!FindAttribute(connection, name, place)) return false;
  value = ValueAt(connection, place);
  return true;
}

bool TakeAttribute(std::string& connection, std::string_view name, std::string& value) {
  AttributePlace place;
  if (!FindAttribute(connection, name, place)) return false;
  value = ValueAt(connection, place);
  connection.erase(place.keyBegin, place.valueEnd == std::string::npos
                                       ? std::string::npos
                                       : place.valueEnd + 1 - place.keyBegin);
  return true;
}

int BuildConnectionString(std::string_view netService, std::string_view user,
                          std::string_view password, std::string& connection) {
  if (netService.substr(0, kPrefix.size()) != kPrefix) return status::kServiceUnresolved;
  std::string_view given = netService.substr(kPrefix.size());
  if (Trimmed(given).empty() || NamesCredentials(given)) return status::kServiceUnresolved;
  connection.assign(given);
  if (connection.back() != ';') connection += ';';
  connection += "UID=" + QuotedValue(user) + ";PWD=" + QuotedValue(password) + ";";
  return status::kOk;
}

}  // namespace db::odbc
