#include "kestrumel-config/flat_json.h"

#include <cstdio>

namespace {

// Deeper than any report nests: a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 8;

class Reader {
 public:
  Reader(const std::string& document, std::vector<JsonField>& fields)
      : text_(document), fields_(fields) {}

  bool Document(std::string& error) {
    SkipBlanks();
    bool read = Object("", 1);
    SkipBlanks();
    if (read && at_ == text_.size()) return true;
    error = (why_.empty() ? std::string("text after the object") : why_) + " at byte " +
            std::to_string(at_);
    return false;
  }

 private:
  bool Fail(const char* why) {
    if (why_.empty()) why_ = why;
    return false;
  }

  void SkipBlanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' ||
                                  text_[at_] == '\r')) {
      ++at_;
    }
  }

  bool Take(char c) {
    SkipBlanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool Word(const char* word) {
    size_t length = std::char_traits<char>::length(word);
    if (text_.compare(at_, length, word) != 0) return Fail("unknown word");
    at_ += length;
    return true;
  }

  bool Object(const std::string& prefix, int depth) {
    if (depth > kMaxDepth) return Fail("objects nested too deep");
    if (!Take('{')) return Fail("'{' expected");
    if (Take('}')) return true;
    do {
      std::string name;
      SkipBlanks();
      if (!String(name)) return false;
      if (!Take(':')) return Fail("':' expected");
      std::string path = prefix.empty() ? name : prefix + "." + name;
      if (FindField(fields_, path) != nullptr) return Fail("a name given twice");
      if (!Value(path, name, depth)) return false;
    } while (Take(','));
    return Take('}') || Fail("',' or '}' expected");
  }

  bool Value(const std::string& path, const std::string& name, int depth) {
    SkipBlanks();
    JsonField field;
    field.path = path;
    field.name = name;
    field.depth = depth;
    if (at_ >= text_.size()) return Fail("a value expected");
    char c = text_[at_];
    if (c == '{') {
      field.kind = JsonField::Kind::kObject;
      fields_.push_back(field);
      return Object(path, depth + 1);
    }
    if (c == '"') {
      field.kind = JsonField::Kind::kText;
      if (!String(field.text)) return false;
    } else if (c == '-' || (c >= '0' && c <= '9')) {
      field.kind = JsonField::Kind::kInteger;
      if (!Integer(field.integer)) return false;
    } else if (c == 'n') {
      if (!Word("null")) return false;
    } else if (c == 't' || c == 'f') {
      field.kind = JsonField::Kind::kBoolean;
      field.integer = c == 't';
      if (!Word(c == 't' ? "true" : "false")) return false;
    } else {
      return Fail("a value expected");
    }
    fields_.push_back(field);
    return true;
  }

  // -?(0|[1-9][0-9]*), within 64 bits; a fraction or exponent after it is refused.
  bool Integer(int64_t& value) {
    bool negative = text_[at_] == '-';
    if (negative) ++at_;
    size_t start = at_;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{INT64_MAX} + 1 : uint64_t{INT64_MAX};
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
      uint64_t digit = static_cast<uint64_t>(text_[at_] - '0');
      if (magnitude > (limit - digit) / 10) return Fail("a number too large");
      magnitude = magnitude * 10 + digit;
      ++at_;
    }
    if (at_ == start || (text_[start] == '0' && at_ - start > 1)) return Fail("a malformed number");
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E')) {
      return Fail("a number that is no integer");
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
  }

  bool Hex4(uint32_t& unit) {
    if (text_.size() - at_ < 4) return Fail("a short \\u escape");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[at_++];
      int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (digit < 0) return Fail("a malformed \\u escape");
      unit = unit * 16 + static_cast<uint32_t>(digit);
    }
    return true;
  }

  static void AppendUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // A surrogate pair makes one character; a lone surrogate is refused.
  bool Unicode(std::string& out) {
    uint32_t unit = 0;
    if (!Hex4(unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return Fail("a lone surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      uint32_t low = 0;
      if (text_.compare(at_, 2, "\\u") != 0) return Fail("a lone surrogate");
      at_ += 2;
      if (!Hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("a lone surrogate");
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(unit, out);
    return true;
  }

  bool String(std::string& out) {
    if (at_ >= text_.size() || text_[at_] != '"') return Fail("'\"' expected");
    ++at_;
    for (;;) {
      if (at_ >= text_.size()) return Fail("a string without its end");
      unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("a control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) return Fail("a string without its end");
      char escape = text_[at_++];
      switch (escape) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u':
          if (!Unicode(out)) return false;
          break;
        default: return Fail("an unknown escape");
      }
    }
  }

  const std::string& text_;
  std::vector<JsonField>& fields_;
  size_t at_ = 0;
  std::string why_;
};

}  // namespace

bool ReadFlatJson(const std::string& document, std::vector<JsonField>& fields, std::string& error) {
  fields.clear();
  return Reader(document, fields).Document(error);
}

const JsonField* FindField(const std::vector<JsonField>& fields, const std::string& path) {
  for (const JsonField& field : fields) {
    if (field.path == path) return &field;
  }
  return nullptr;
}

std::string JsonObjectText(const std::vector<JsonField>& fields) {
  std::string out = "{";
  int level = 1;
  bool first = true;
  for (const JsonField& field : fields) {
    for (; level > field.depth; --level) {
      out += "}";
      first = false;  // the object just closed was a member
    }
    if (!first) out += ",";
    first = false;
    out += JsonQuoted(field.name) + ":";
    switch (field.kind) {
      case JsonField::Kind::kNull: out += "null"; break;
      case JsonField::Kind::kInteger: out += std::to_string(field.integer); break;
      case JsonField::Kind::kText: out += JsonQuoted(field.text); break;
      case JsonField::Kind::kBoolean: out += field.integer != 0 ? "true" : "false"; break;
      case JsonField::Kind::kObject:
        out += "{";
        ++level;
        first = true;
        break;
    }
  }
  for (; level > 0; --level) out += "}";
  return out;
}

std::string JsonQuoted(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += static_cast<char>(c);
    }
  }
  return quoted + "\"";
}
