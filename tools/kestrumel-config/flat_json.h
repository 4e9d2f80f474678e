#pragma once
// A strict reader of the small JSON documents the program writes (the run report): objects,
// strings, integers, null, true and false. No fractions or arrays: a document holding one is
// not a report. Nested members are named by their path, "requests.done".
#include <cstdint>
#include <string>
#include <vector>

struct JsonField {
  enum class Kind { kNull, kInteger, kText, kBoolean, kObject };
  std::string path;  // "state", "requests", "requests.done"
  std::string name;  // the member's own name: "done"
  int depth = 1;     // 1 for a member of the top object, 2 for one of its objects ...
  Kind kind = Kind::kNull;
  int64_t integer = 0;  // kInteger; kBoolean as 0 or 1
  std::string text;     // kText, UTF-8 with the escapes resolved
};

// Every member of the document's top object in document order, an object's own entry before
// its members'. False, with `error` saying where, for anything else (a repeated name among them).
bool ReadFlatJson(const std::string& document, std::vector<JsonField>& fields, std::string& error);

// The field at `path`, or null when there is none.
const JsonField* FindField(const std::vector<JsonField>& fields, const std::string& path);

// The fields, as ReadFlatJson gives them, written back as one JSON object.
std::string JsonObjectText(const std::vector<JsonField>& fields);

// `text` as a JSON string, quotes included.
std::string JsonQuoted(const std::string& text);
