#pragma once
// Oracle's names (schemas, savepoints) are case-blind; a backend folds them to the case its
// database keeps them in.
#include <cctype>
#include <string>

namespace db {

inline std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

inline std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace db
