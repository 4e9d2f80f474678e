#pragma once
// Paths as the system resolves them: links followed, relative names against the working
// directory.
#include <string>

namespace platform {

// `path` made absolute with every link and "." or ".." resolved; false when it leads nowhere
// or is too long.
bool ResolvePath(const std::string& path, std::string& resolved);
// Whether `path` leads to a directory, or to a regular file, following links.
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
// The working directory, or "" when it cannot be told.
std::string WorkingDirectory();
// Where the last separator of a directory in `path` stands, or npos when it has none: '/' on
// POSIX, '/' or '\\' on Windows.
size_t LastPathSeparator(const std::string& path);

}  // namespace platform
