#include "tests/javaruntime/test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace tolvarin::javaruntime::testing {

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
  std::random_device random;
  root_ = fs::temp_directory_path() / ("tolvarin-test-" + std::to_string(random()));
  fs::create_directories(root_);
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

fs::path ScratchDirectory::Path(const std::string& relative) const {
  if (relative.empty()) return root_;
  return (root_ / fs::u8path(relative)).make_preferred();
}

std::string ScratchDirectory::Text(const std::string& relative) const {
  return Path(relative).u8string();
}

void WriteTextFile(const fs::path& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file.flush()) throw std::runtime_error("cannot write " + path.u8string());
}

std::string ReadTextFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> DirectoryEntries(const fs::path& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace tolvarin::javaruntime::testing
