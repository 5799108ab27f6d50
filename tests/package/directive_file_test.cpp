// The directive file, line for line.
#include "package/directive_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/clip_set.h"

namespace mw {
namespace {

using Lines = std::vector<std::string>;

// Lines 1 to 26, the same in every directive file.
const Lines kHead = {"[Version]",
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
                     "FinishMessage="};

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Lines 27 to 34 for one package path and launch line.
Lines Strings(const std::string& target, const std::string& launched) {
  return {"TargetName=" + target,  "FriendlyName=MarkWeaver", "AppLaunched=" + launched,
          "PostInstallCmd=<None>", "AdminQuietInstCmd=",      "UserQuietInstCmd=",
          "FILE0=\"mwRun.exe\"",   "FILE1=\"mwRun\""};
}

PackageDirective FromClipSet(const ClipSet& set, const std::string& message) {
  PackageDirective directive;
  directive.packagePath = "/opt/mw/Packages/program1.exe";
  directive.userMessage = message;
  directive.stagingFolder = "/opt/mw/ptemp/";
  for (const ClipEntry& entry : set.Entries()) {
    if (entry.skipped) {
      directive.clipNames.emplace_back();
    } else {
      directive.clipNames.emplace_back(entry.packageName);
    }
  }
  return directive;
}

TEST(DirectiveFile, OneMarkOnTwoClips) {
  ClipMap map;
  ClickerMark mark;
  mark.Clip = "/home/ann/clips/hall.jpg";
  mark.NextClip = "/home/ann/movies/kitchen.mpg";
  map.Append(mark);
  PackageDirective directive = FromClipSet(ClipSet::FromMap(map), "Welcome");
  Lines expected = Join({kHead,
                         Strings("/opt/mw/Packages/program1.exe", "mwRun.exe \"Welcome\""),
                         {"FILE2=\"hall.jpg\"", "FILE3=\"kitchen.mpg\"", "[SourceFiles]",
                          "SourceFiles0=/opt/mw/ptemp/", "[SourceFiles0]",
                          "%FILE0%=", "%FILE1%=", "%FILE2%=", "%FILE3%="}});
  EXPECT_EQ(DirectiveLines(directive), expected);

  std::string text = FormatDirectiveFile(directive);
  std::string joined;
  for (const auto& line : expected) joined += line + "\r\n";
  EXPECT_EQ(text, joined);
}

TEST(DirectiveFile, MessagePartOfTheLaunchLine) {
  EXPECT_EQ(LaunchLine(""), "mwRun.exe ");
  EXPECT_EQ(LaunchLine("Have a look around"), "mwRun.exe \"Have a look around\"");
  EXPECT_EQ(LaunchLine("Say \"hi\" now"), "mwRun.exe \"Say \"hi\" now\"");

  PackageDirective directive;
  directive.packagePath = "/p/x.exe";
  directive.stagingFolder = "/p/ptemp/";
  EXPECT_EQ(DirectiveLines(directive)[28], "AppLaunched=mwRun.exe ");
  directive.userMessage = "two  blanks";
  EXPECT_EQ(DirectiveLines(directive)[28], "AppLaunched=mwRun.exe \"two  blanks\"");
}

TEST(DirectiveFile, LocationWithoutTrailingSlashIsJoinedAsTyped) {
  PackageDirective directive;
  directive.packagePath = std::string("/srv/out") + "p1" + ".exe";
  directive.stagingFolder = "/p/ptemp/";
  EXPECT_EQ(DirectiveLines(directive)[26], "TargetName=/srv/outp1.exe");
}

TEST(DirectiveFile, SkippedEntriesLeaveGapsInTheFileLinesOnly) {
  ClipMap map;
  ClickerMark mark;
  mark.Clip = "/c/hall.jpg";
  mark.NextClip = "";  // first in the set, skipped
  map.Append(mark);
  mark.Clip = "/c/porch.jpg";
  mark.NextClip = "0";  // sorts after "/...", skipped
  map.Append(mark);
  PackageDirective directive = FromClipSet(ClipSet::FromMap(map), "");
  Lines expected = Join(
      {kHead,
       Strings("/opt/mw/Packages/program1.exe", "mwRun.exe "),
       {"FILE3=\"hall.jpg\"", "FILE4=\"porch.jpg\"", "[SourceFiles]", "SourceFiles0=/opt/mw/ptemp/",
        "[SourceFiles0]", "%FILE0%=", "%FILE1%=", "%FILE2%=", "%FILE3%=", "%FILE4%=", "%FILE5%="}});
  EXPECT_EQ(DirectiveLines(directive), expected);
}

TEST(DirectiveFile, CollidingFileNamesAreListedUnderTheirPackageNames) {
  ClipSet set(std::vector<std::string>{"/a/hall.jpg", "/b/hall.jpg"});
  Lines lines = DirectiveLines(FromClipSet(set, ""));
  EXPECT_EQ(lines[34], "FILE2=\"hall.jpg\"");
  EXPECT_EQ(lines[35], "FILE3=\"hall-2.jpg\"");
}

}  // namespace
}  // namespace mw
