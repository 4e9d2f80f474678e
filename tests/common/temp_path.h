#pragma once
// Temporary files and folders under names no other test process picks, on every system.
// Paths are UTF-8 texts; PathOf turns one into a path for the standard library.
#include <filesystem>
#include <string>

namespace testing_files {

std::filesystem::path PathOf(const std::string& utf8);
std::string TextOf(const std::filesystem::path& path);  // UTF-8

// `parent`/`prefix` followed by this process's id, a counter and a random number.
std::string UniqueName(const std::string& parent, const std::string& prefix);
// A new folder or an empty file under such a name in the system's temporary folder (or in
// `parent`); "" when it cannot be made.
std::string MakeTempDir(const std::string& prefix, const std::string& parent = "");
std::string MakeTempFile(const std::string& prefix);

}  // namespace testing_files
