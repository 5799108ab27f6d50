#pragma once
// A throw-away program folder for package builds: the files that lie beside the
// editor, a stand-in package build tool, and a folder for clips.

#include <cstdint>
#include <string>

namespace mw::test {

// Made fresh for each test under the system's temporary folder and removed after it.
class PackageTestFolder {
 public:
  PackageTestFolder();
  ~PackageTestFolder();
  PackageTestFolder(const PackageTestFolder&) = delete;
  PackageTestFolder& operator=(const PackageTestFolder&) = delete;

  // The program folder, ending with "/": runner.dll, tract.dll, kecab.dll, readme.txt
  // and a stand-in MarkWeaverL.dll.
  const std::string& Program() const { return program_; }
  // A folder outside the program folder for clips, ending with "/".
  const std::string& Clips() const { return clips_; }
  // The folder the test starts in, neither of the above, ending with "/".
  const std::string& Start() const { return start_; }

  // Writes a clip file under Clips() (subfolders made as needed); gives its path.
  std::string AddClip(const std::string& relative, const std::string& content);
  // Makes a clip file of `size` bytes without writing them; gives its path.
  std::string AddSizedClip(const std::string& relative, std::uint64_t size);

 private:
  std::string root_;
  std::string program_;
  std::string clips_;
  std::string start_;
};

// Writes `content` to `path`, making its folders.
void WriteFile(const std::string& path, const std::string& content);
// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace mw::test
