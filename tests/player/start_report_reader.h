#pragma once
// Runs a program that ends in the player and reads the player's start report.

#include <QProcessEnvironment>
#include <QStringList>
#include <map>
#include <string>

namespace mw::test {

// How a run ended and what the player reported ("key" -> "value").
struct PlayerRun {
  bool finished = false;  // false: it had to be killed at the deadline
  int exitCode = -1;
  std::map<std::string, std::string> report;
  std::string errorOutput;
};

// The player's report in the file `path`: "key" -> "value"; empty when there is none.
std::map<std::string, std::string> ReadReport(const std::string& path);

// Runs `program` with `arguments` in `workingFolder`, offscreen, with the player's start
// report going to `reportPath`; waits at most 60 s.
PlayerRun RunPlayerProgram(
    const std::string& program, const QStringList& arguments, const std::string& workingFolder,
    const std::string& reportPath,
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

// Copies the built player into `folder` as mwRun.exe, as a package unpacks it.
void InstallPlayerAsPackageDoes(const std::string& folder);

}  // namespace mw::test
