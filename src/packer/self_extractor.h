#pragma once

#include <ostream>
#include <string>

#include "packer/safe_extract.h"

namespace mw::packer {

// Runs the package held in the file package_path: unpacks it into its folder in the user's
// cache (once: a later start finds it there, checked by its stamp) or, where the cache
// cannot take it, into a fresh private temporary folder; starts the launch line's program
// there with the message as its one argument, passes SIGINT and SIGTERM on to it, removes
// the private folder in every case and returns the program's exit code (128 + signal when
// it was killed). Throws PackerError when the package is refused or the program cannot be
// started (the private folder is removed).
int RunPackage(const std::string& package_path, const ExtractLimits& limits = {});

// Unpacks the package into the folder dir, which must not exist yet and is created; starts
// nothing. On a refusal dir is removed again. Throws PackerError.
void ExtractPackage(const std::string& package_path, const std::string& dir,
                    const ExtractLimits& limits = {});

// Writes one line per packed file (size and name) and the launch line to out, after checking
// the whole package as running it would, contents and launch program included. Throws
// PackerError, also when out fails.
void ListPackage(const std::string& package_path, std::ostream& out,
                 const ExtractLimits& limits = {});

}  // namespace mw::packer
