#include "package/directive_file.h"

#include "package/package_names.h"

namespace mw {

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

const char* const kFixedHead[] = {
    "[Version]",
    "Class=IEXPRESS",
    "SEDVersion=3",
    "[Options]",
    "PackagePurpose=InstallApp",
    "ShowInstallProgramWindow=0",
    "HideExtractAnimation=0",
    "UseLongFileName=1",
    "InsideCompressed=0",
    "CAB_FixedSize=0",
    "CAB_ResvCodeSigning=0",
    "RebootMode=N",
    "InstallPrompt=%InstallPrompt%",
    "DisplayLicense=%DisplayLicense%",
    "FinishMessage=%FinishMessage%",
    "TargetName=%TargetName%",
    "FriendlyName=%FriendlyName%",
    "AppLaunched=%AppLaunched%",
    "PostInstallCmd=%PostInstallCmd%",
    "AdminQuietInstCmd=%AdminQuietInstCmd%",
    "UserQuietInstCmd=%UserQuietInstCmd%",
    "SourceFiles=SourceFiles",
    "[Strings]",
    "InstallPrompt=",
    "DisplayLicense=",
    "FinishMessage=",
};

void AppendStrings(const PackageDirective& directive, std::vector<std::string>& lines) {
  lines.insert(lines.end(), std::begin(kFixedHead), std::end(kFixedHead));
  lines.push_back("TargetName=" + directive.packagePath);
  lines.push_back("FriendlyName=MarkWeaver");
  lines.push_back("AppLaunched=" + LaunchLine(directive.userMessage));
  lines.push_back("PostInstallCmd=<None>");
  lines.push_back("AdminQuietInstCmd=");
  lines.push_back("UserQuietInstCmd=");
  lines.push_back("FILE0=" + Quoted(std::string(kPlayerFileName)));
  lines.push_back("FILE1=" + Quoted(std::string(kRunnerBaseName)));
  for (std::size_t k = 0; k < directive.clipNames.size(); ++k) {
    const auto& name = directive.clipNames[k];
    if (name) lines.push_back("FILE" + std::to_string(k + 2) + "=" + Quoted(*name));
  }
}

void AppendSourceFiles(const PackageDirective& directive, std::vector<std::string>& lines) {
  lines.push_back("[SourceFiles]");
  lines.push_back("SourceFiles0=" + directive.stagingFolder);
  lines.push_back("[SourceFiles0]");
  lines.push_back("%FILE0%=");
  lines.push_back("%FILE1%=");
  for (std::size_t j = 0; j < directive.clipNames.size(); ++j) {
    lines.push_back("%FILE" + std::to_string(j + 2) + "%=");
  }
}

}  // namespace

std::string LaunchLine(const std::string& userMessage) {
  std::string line = std::string(kPlayerFileName) + " ";
  if (!userMessage.empty()) line += Quoted(userMessage);
  return line;
}

std::vector<std::string> DirectiveLines(const PackageDirective& directive) {
  std::vector<std::string> lines;
  lines.reserve(40 + 2 * directive.clipNames.size());
  AppendStrings(directive, lines);
  AppendSourceFiles(directive, lines);
  return lines;
}

bool DirectiveTextsFit(const PackageDirective& directive) {
  const auto fits = [](const std::string& text) {
    return text.find_first_of("\r\n") == std::string::npos;
  };
  bool all = fits(directive.packagePath) && fits(directive.userMessage) &&
             fits(directive.stagingFolder);
  for (const auto& name : directive.clipNames) all = all && (!name || fits(*name));
  return all;
}

std::string FormatDirectiveFile(const PackageDirective& directive) {
  std::string text;
  for (const std::string& line : DirectiveLines(directive)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace mw
