// The editor's command line read without a display: each form it accepts, and a clear
// one-line reason for each it refuses.
#include "editor/command_line.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../map/temp_folder.h"

namespace mw {
namespace {

CommandLine Accepted(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed = ParseCommandLine(arguments);
  EXPECT_TRUE(parsed.command.has_value()) << parsed.error;
  return parsed.command.value_or(CommandLine{});
}

std::string Refused(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed = ParseCommandLine(arguments);
  EXPECT_FALSE(parsed.command.has_value());
  EXPECT_EQ(parsed.error.find('\n'), std::string::npos);
  return parsed.error;
}

TEST(CommandLineTest, EditsTheLastMapOrTheMapNamed) {
  CommandLine none = Accepted({});
  EXPECT_EQ(none.kind, CommandKind::Edit);
  EXPECT_FALSE(none.map);

  EXPECT_EQ(Accepted({"tour.clm"}).map, "tour.clm");
  // "--" lets a map's name begin with "-"; a lone "-" is a name too.
  EXPECT_EQ(Accepted({"--", "-odd.clm"}).map, "-odd.clm");
  EXPECT_EQ(Accepted({"-"}).map, "-");
}

TEST(CommandLineTest, HelpAndVersionStandAlone) {
  EXPECT_EQ(Accepted({"--help"}).kind, CommandKind::Help);
  EXPECT_EQ(Accepted({"-h"}).kind, CommandKind::Help);
  EXPECT_EQ(Accepted({"--version"}).kind, CommandKind::Version);
  EXPECT_NE(Refused({"--help", "tour.clm"}).find("--help"), std::string::npos);
  EXPECT_NE(Refused({"--version=2"}).find("takes no value"), std::string::npos);
  EXPECT_NE(Refused({"--help", "--version"}).find("cannot be combined"), std::string::npos);
}

TEST(CommandLineTest, MakePackageTakesMapOutputAndMessageInAnyOrder) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"--make-package", "tour.clm", "--output", "out/tour.exe", "--message", "Hi there"},
           {"--output=out/tour.exe", "--message=Hi there", "--make-package=tour.clm"},
           {"--make-package", "--message", "Hi there", "--output", "out/tour.exe", "tour.clm"}}) {
    CommandLine command = Accepted(arguments);
    EXPECT_EQ(command.kind, CommandKind::MakePackage);
    EXPECT_EQ(command.map, "tour.clm");
    EXPECT_EQ(command.output, "out/tour.exe");
    EXPECT_EQ(command.message, "Hi there");
  }
  CommandLine plain = Accepted({"--make-package", "tour.clm", "--output", "tour.exe"});
  EXPECT_FALSE(plain.message);
  // A message may begin with "-" when it follows its option.
  EXPECT_EQ(Accepted({"--make-package", "a.clm", "--output", "a.exe", "--message", "-x-"}).message,
            "-x-");
}

TEST(CommandLineTest, EachCommandGetsWhatItNeedsAndNothingElse) {
  EXPECT_NE(Refused({"--make-package", "tour.clm"}).find("needs '--output FILE'"),
            std::string::npos);
  EXPECT_NE(Refused({"--make-package", "--output", "a.exe"}).find("needs a map"),
            std::string::npos);
  EXPECT_NE(Refused({"--make-package", "a.clm", "--output"}).find("needs a value"),
            std::string::npos);
  EXPECT_NE(Refused({"tour.clm", "--output", "a.exe"}).find("'--output' belongs to"),
            std::string::npos);
  EXPECT_NE(Refused({"--check", "a.clm", "--message", "x"}).find("'--message' belongs to"),
            std::string::npos);
  EXPECT_NE(Refused({"--make-package", "a.clm", "--output", "a.exe", "--output", "b.exe"})
                .find("given twice"),
            std::string::npos);
  EXPECT_NE(Refused({"--make-package", "a.clm", "--check", "b.clm"}).find("cannot be combined"),
            std::string::npos);
  EXPECT_NE(Refused({"a.clm", "b.clm"}).find("more than one map"), std::string::npos);
  EXPECT_NE(Refused({"--output="}).find("non-empty"), std::string::npos);
  EXPECT_NE(Refused({""}).find("empty"), std::string::npos);
}

// A file name or a message with a line break would write lines of its own into the
// package's directive file; a web page's message keeps its line breaks.
TEST(CommandLineTest, OutputAndMessageMustBeOneLine) {
  EXPECT_EQ(Refused({"--make-package", "t.clm", "--output", "out/x\ny.exe"}),
            "option '--output' must be one line: its value holds a line break");
  EXPECT_EQ(Refused({"--make-package", "t.clm", "--output", "t.exe", "--message=a\r\n[Options]"}),
            "option '--message' must be one line: its value holds a line break");
  EXPECT_EQ(Refused({"--overview", "t.clm", "--output=a\rb.svg"}),
            "option '--output' must be one line: its value holds a line break");
  EXPECT_EQ(Accepted({"--make-package", "t.clm", "--output", "t.exe", "--message", "a\tb"}).message,
            "a\tb");
  EXPECT_EQ(Accepted({"--export-web", "t.clm", "--output", "web", "--message", "a\nb"}).message,
            "a\nb");
  EXPECT_EQ(Refused({"--export-web", "t.clm", "--output", "w\neb", "--message", "a"}),
            "option '--output' must be one line: its value holds a line break");
}

TEST(CommandLineTest, UnknownOptionsAreNamed) {
  EXPECT_EQ(Refused({"--colour"}), "unknown option '--colour'");
  EXPECT_EQ(Refused({"-x", "tour.clm"}), "unknown option '-x'");
  EXPECT_EQ(Refused({"--colour=red"}), "unknown option '--colour'");
}

TEST(CommandLineTest, CheckAndOverviewHaveTheirForms) {
  CommandLine check = Accepted({"--check", "tour.clm"});
  EXPECT_EQ(check.kind, CommandKind::Check);
  EXPECT_EQ(check.map, "tour.clm");
  CommandLine overview = Accepted({"--overview", "tour.clm", "--output", "tour.svg"});
  EXPECT_EQ(overview.kind, CommandKind::Overview);
  EXPECT_EQ(overview.output, "tour.svg");
  EXPECT_NE(Refused({"--overview", "tour.clm"}).find("needs '--output FILE'"), std::string::npos);
}

TEST(CommandLineTest, WebExportRelinkAndGatherHaveTheirForms) {
  CommandLine web = Accepted({"--export-web", "tour.clm", "--output", "site", "--title", "Tour",
                              "--message", "Hello"});
  EXPECT_EQ(web.kind, CommandKind::ExportWeb);
  EXPECT_EQ(web.output, "site");
  EXPECT_EQ(web.title, "Tour");
  EXPECT_EQ(web.message, "Hello");
  EXPECT_NE(Refused({"--export-web", "tour.clm"}).find("needs '--output FILE'"),
            std::string::npos);

  CommandLine relink = Accepted({"--relink", "tour.clm", "--search", "/media/stick"});
  EXPECT_EQ(relink.kind, CommandKind::Relink);
  EXPECT_EQ(relink.search, "/media/stick");
  EXPECT_FALSE(Accepted({"--relink", "tour.clm"}).search);
  EXPECT_EQ(Accepted({"--gather", "tour.clm"}).kind, CommandKind::Gather);

  // Each new option belongs to its own command only.
  EXPECT_NE(Refused({"--make-package", "a.clm", "--output", "a.exe", "--title", "T"})
                .find("'--title' belongs to '--export-web'"),
            std::string::npos);
  EXPECT_NE(Refused({"--gather", "a.clm", "--search", "d"}).find("'--search' belongs to '--relink'"),
            std::string::npos);
  EXPECT_NE(Refused({"--relink", "a.clm", "--output", "x"}).find("'--output' belongs to"),
            std::string::npos);
  EXPECT_NE(Refused({"--help", "--title", "T"}).find("takes no other arguments"),
            std::string::npos);
}

TEST(CommandLineTest, HelpNamesEveryFormAndVersionTheProduct) {
  const std::string help = HelpText();
  for (const char* form :
       {"markweaver [MAP]", "--make-package MAP --output FILE [--message TEXT]", "--check MAP",
        "--overview MAP --output FILE", "--export-web MAP --output DIR|FILE.html",
        "--relink MAP [--search DIR]", "--gather MAP", "--help", "--version", "exit code 2"}) {
    EXPECT_NE(help.find(form), std::string::npos) << form;
  }
  EXPECT_EQ(VersionText(), "MarkWeaver 1.2.3\n");
}

// The real editor program with `arguments`, with no display to be had: its exit code
// and what it printed on stdout and stderr.
struct ProgramRun {
  int exitCode = -1;
  std::string output;
};

// Runs the editor with `arguments` (shell words), in `folder` when one is given.
ProgramRun RunEditorWithoutDisplay(const std::string& arguments, const std::string& folder = "") {
  const std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") +
                              "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                              std::string(MW_BIN_DIR) + "/markweaver " + arguments + " 2>&1";
  ProgramRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
    run.output.append(buffer, read);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(EditorProgramTest, HelpVersionAndBadOptionsNeedNoDisplay) {
  ProgramRun help = RunEditorWithoutDisplay("--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output, HelpText());
  ProgramRun version = RunEditorWithoutDisplay("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, "MarkWeaver 1.2.3\n");
  ProgramRun bad = RunEditorWithoutDisplay("--colour red");
  EXPECT_EQ(bad.exitCode, kBadCommandLineExit);
  EXPECT_EQ(bad.output,
            "markweaver: unknown option '--colour'\n"
            "Try 'markweaver --help' for more information.\n");
}

TEST(EditorProgramTest, AMapThatIsAFolderOrUnreadableIsRefusedBeforeAnyWindow) {
  test::TempFolder here;
  std::filesystem::create_directory(here.File("tours.clm"));
  test::WriteText(here.File("locked.clm"), "markweaverdata1.01\r\n640\r\n520\r\n");
  std::filesystem::permissions(here.File("locked.clm"), std::filesystem::perms::none);
  std::vector<std::string> refused{"tours.clm"};
  if (geteuid() != 0) refused.push_back("locked.clm");  // root reads any file
  for (const std::string& map : refused) {
    ProgramRun run = RunEditorWithoutDisplay(map, here.Path());
    EXPECT_EQ(run.exitCode, kBadCommandLineExit) << map;
    EXPECT_NE(run.output.find("markweaver: cannot open map '" + map + "': "), std::string::npos)
        << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    EXPECT_FALSE(std::filesystem::exists(here.File("markweaver.ini"))) << map;
  }
  EXPECT_NE(RunEditorWithoutDisplay("tours.clm", here.Path()).output.find("Is a directory"),
            std::string::npos);
}

}  // namespace
}  // namespace mw
