// tract.dll (wextract.exe while a package is built), the self-extractor at the head of every
// package: without arguments it unpacks itself and starts its program.
#include <iostream>
#include <string>

#include "packer/packer_error.h"
#include "packer/process.h"
#include "packer/program_folder.h"
#include "packer/self_extractor.h"

namespace {

constexpr const char* kUsage = "usage: PACKAGE [--list | --extract NEW-FOLDER]";

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const bool run = argc == 1;
  const bool list = argc == 2 && command == "--list";
  const bool extract = argc == 3 && command == "--extract" && argv[2][0] != '\0';
  if (!run && !list && !extract) {
    std::cerr << kUsage << "\n";
    return 2;
  }
  try {
    const std::string self = mw::packer::OwnProgramPath();
    if (list) {
      mw::packer::ListPackage(self, std::cout);
      return 0;
    }
    if (extract) {
      mw::packer::ExtractPackage(self, argv[2]);
      return 0;
    }
    return mw::packer::RunPackage(self);
  } catch (const mw::packer::InterruptedError& e) {
    std::cerr << "package: " << e.what() << "\n";
    return 128 + mw::packer::PendingInterrupt();
  } catch (const mw::packer::PackerError& e) {
    // A failure the person was told of already went to standard error too.
    if (!e.shown()) std::cerr << "package: " << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "package: " << e.what() << "\n";
    return 1;
  }
}
