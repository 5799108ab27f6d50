#pragma once
// A folder that a benchmark makes its files in.

#include <filesystem>
#include <string>

namespace mw::bench {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class BenchFolder {
 public:
  BenchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mwbench.XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace mw::bench
