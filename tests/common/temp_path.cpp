#include "common/temp_path.h"

#include <fstream>
#include <mutex>
#include <random>

#include "common/process.h"

namespace testing_files {
namespace fs = std::filesystem;

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string TextOf(const fs::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string UniqueName(const std::string& parent, const std::string& prefix) {
  static std::mutex guard;
  static unsigned counter = 0;
  static std::mt19937 random(std::random_device{}());
  std::lock_guard<std::mutex> lock(guard);
  std::string name = prefix + std::to_string(testing_process::CurrentProcessId()) + "-" +
                     std::to_string(++counter) + "-" + std::to_string(random() % 1000000);
  return TextOf(PathOf(parent) / PathOf(name));
}

std::string MakeTempDir(const std::string& prefix, const std::string& parent) {
  std::error_code error;
  std::string base = parent.empty() ? TextOf(fs::temp_directory_path(error)) : parent;
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::string path = UniqueName(base, prefix);
    if (fs::create_directory(PathOf(path), error)) return path;
  }
  return "";
}

std::string MakeTempFile(const std::string& prefix) {
  std::error_code error;
  std::string path = UniqueName(TextOf(fs::temp_directory_path(error)), prefix);
  std::ofstream file(PathOf(path), std::ios::binary | std::ios::trunc);
  return file ? path : "";
}

}  // namespace testing_files
