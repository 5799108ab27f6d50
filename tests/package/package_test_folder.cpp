#include "package_test_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace mw::test {

namespace {

// Stands in for the package build tool: checks its arguments and the run-time names of
// its two helpers, keeps what it was given for the test to look at, and writes the
// package named by the directive file.
const char* const kStandInTool = R"sh(#!/bin/sh
[ "$#" = 3 ] && [ "$1" = "/N" ] && [ "$2" = "/Q" ] && [ "$3" = "mwdat.dat" ] || exit 3
[ -f wextract.exe ] && [ -f makecab.exe ] && [ ! -e tract.dll ] && [ ! -e kecab.dll ] || exit 4
rm -rf seen-staging
cp mwdat.dat seen-directive.txt
cp -r ptemp seen-staging
target=$(sed -n 's/^TargetName=//p' mwdat.dat | tr -d '\r' | tail -n 1)
printf 'package of %s\n' "$(ls ptemp | tr '\n' ' ')" > "$target"
)sh";

}  // namespace

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

PackageTestFolder::PackageTestFolder() {
  std::string pattern = (fs::temp_directory_path() / "mw-package-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  program_ = root_ + "/bin/";
  clips_ = root_ + "/clips/";
  start_ = root_ + "/start/";
  for (const auto& folder : {program_, clips_, start_}) fs::create_directories(folder);
  WriteFile(program_ + "runner.dll", "player program\n");
  WriteFile(program_ + "tract.dll", "self-extractor\n");
  WriteFile(program_ + "kecab.dll", "archiver\n");
  WriteFile(program_ + "readme.txt", "help\n");
  WriteFile(program_ + "MarkWeaverL.dll", kStandInTool);
  fs::permissions(program_ + "MarkWeaverL.dll", fs::perms::owner_exec, fs::perm_options::add);
}

PackageTestFolder::~PackageTestFolder() {
  std::error_code error;
  fs::remove_all(root_, error);
}

std::string PackageTestFolder::AddClip(const std::string& relative, const std::string& content) {
  WriteFile(clips_ + relative, content);
  return clips_ + relative;
}

std::string PackageTestFolder::AddSizedClip(const std::string& relative, std::uint64_t size) {
  std::string path = AddClip(relative, "");
  fs::resize_file(path, size);
  return path;
}

}  // namespace mw::test
