#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mw::packer {

// One file to pack: the folder it is taken from and its bare name in the package.
struct SourceFile {
  std::string folder;  // as written in the directive file, usually ending with "/"
  std::string name;    // bare file name, no "/"
};

// What a directive file asks of the package build tool.
struct PackageDirective {
  std::string target;             // path of the package executable to write
  std::string launch_line;        // the command the package runs after unpacking
  std::vector<SourceFile> files;  // in file order, each name once
};

// Reads the text of a directive file (sections, key=value lines with CRLF or LF line ends,
// %NAME% references into [Strings], quoted values). Throws PackerError naming the problem.
PackageDirective ParseDirectiveText(std::string_view text);

// Reads and parses the directive file at path. Throws PackerError.
PackageDirective ReadDirectiveFile(const std::string& path);

}  // namespace mw::packer
