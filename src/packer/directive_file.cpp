#include "packer/directive_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>

#include "packer/packer_error.h"

namespace mw::packer {
namespace {

struct Entry {
  std::string key;
  std::string value;
};

struct Section {
  std::string name;
  std::vector<Entry> entries;
};

bool SameText(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

Entry ParseEntry(std::string_view line) {
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return {std::string(Trim(line)), {}};
  return {std::string(Trim(line.substr(0, equals))), std::string(line.substr(equals + 1))};
}

bool IsSectionHeader(std::string_view trimmed) {
  return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

std::vector<Section> ParseSections(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<Section> sections;
  int line_number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++line_number;
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    if (IsSectionHeader(trimmed)) {
      sections.push_back({std::string(Trim(trimmed.substr(1, trimmed.size() - 2))), {}});
    } else if (sections.empty()) {
      throw PackerError("line " + std::to_string(line_number) + " stands before any section");
    } else {
      sections.back().entries.push_back(ParseEntry(line));
    }
  }
  return sections;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view name) {
  const Section* found = nullptr;
  for (const Section& section : sections) {
    if (!SameText(section.name, name)) continue;
    if (found) throw PackerError("the section [" + std::string(name) + "] appears twice");
    found = &section;
  }
  return found;
}

const Section& RequireSection(const std::vector<Section>& sections, std::string_view name) {
  const Section* section = FindSection(sections, name);
  if (!section) throw PackerError("the directive file has no [" + std::string(name) + "] section");
  return *section;
}

std::optional<std::string> FindValue(const Section& section, std::string_view key) {
  std::optional<std::string> found;
  for (const Entry& entry : section.entries) {
    if (!SameText(entry.key, key)) continue;
    if (found) throw PackerError(std::string(key) + " is set twice in [" + section.name + "]");
    found = entry.value;
  }
  return found;
}

std::string RequireValue(const Section& section, std::string_view key) {
  auto value = FindValue(section, key);
  if (!value) throw PackerError("[" + section.name + "] has no " + std::string(key) + " setting");
  return *value;
}

// A value of the form %NAME% (and nothing else) refers to NAME in [Strings].
std::optional<std::string_view> ReferencedName(std::string_view value) {
  if (value.size() < 3 || value.front() != '%' || value.back() != '%') return std::nullopt;
  const std::string_view name = value.substr(1, value.size() - 2);
  if (name.find('%') != std::string_view::npos) return std::nullopt;
  return name;
}

// The value itself, or the [Strings] text it refers to; nullopt for an undefined reference.
std::optional<std::string> Resolve(const std::string& value, const Section& strings) {
  const auto name = ReferencedName(value);
  if (!name) return value;
  return FindValue(strings, *name);
}

std::string ResolveRequired(const std::string& value, const Section& strings) {
  auto resolved = Resolve(value, strings);
  if (!resolved) throw PackerError(value + " is not defined in [" + strings.name + "]");
  return *resolved;
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

void CheckBareName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    throw PackerError("\"" + name + "\" is not a plain file name");
  }
}

void AddFile(std::vector<SourceFile>& files, SourceFile file) {
  CheckBareName(file.name);
  const auto same_name = std::find_if(files.begin(), files.end(),
                                      [&](const SourceFile& f) { return f.name == file.name; });
  if (same_name == files.end()) {
    files.push_back(std::move(file));
  } else if (same_name->folder != file.folder) {
    throw PackerError("two different files are named \"" + file.name + "\"");
  }
}

// Adds the files of one [SourceFilesN] list; references to undefined strings are gaps in
// the numbering and are passed over.
void AddFileList(std::vector<SourceFile>& files, const std::string& folder, const Section& list,
                 const Section& strings) {
  for (const Entry& entry : list.entries) {
    const auto name = Resolve(entry.key, strings);
    if (name) AddFile(files, {folder, Unquote(*name)});
  }
}

std::vector<SourceFile> CollectFiles(const std::vector<Section>& sections, const Section& options,
                                     const Section& strings) {
  const std::string list_name = ResolveRequired(RequireValue(options, "SourceFiles"), strings);
  const Section& folders = RequireSection(sections, list_name);
  std::vector<SourceFile> files;
  for (const Entry& folder : folders.entries) {
    const Section& list = RequireSection(sections, folder.key);
    AddFileList(files, Unquote(ResolveRequired(folder.value, strings)), list, strings);
  }
  if (files.empty()) throw PackerError("the directive file names no files to pack");
  return files;
}

}  // namespace

PackageDirective ParseDirectiveText(std::string_view text) {
  const std::vector<Section> sections = ParseSections(text);
  const Section& options = RequireSection(sections, "Options");
  const Section& strings = RequireSection(sections, "Strings");
  PackageDirective directive;
  directive.target = Unquote(ResolveRequired(RequireValue(options, "TargetName"), strings));
  if (directive.target.empty()) throw PackerError("TargetName is empty");
  directive.launch_line = ResolveRequired(RequireValue(options, "AppLaunched"), strings);
  if (Trim(directive.launch_line).empty()) throw PackerError("AppLaunched is empty");
  directive.files = CollectFiles(sections, options, strings);
  return directive;
}

PackageDirective ReadDirectiveFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackerError("cannot open the directive file " + path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw PackerError("cannot read the directive file " + path);
  try {
    return ParseDirectiveText(text.str());
  } catch (const PackerError& e) {
    throw PackerError(path + ": " + e.what());
  }
}

}  // namespace mw::packer
