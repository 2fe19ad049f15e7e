#pragma once
// The program's command line: the files to open, or --help / --version. A file manager
// starts the program with the files the user opened with it ("luckyscope %F"); each is
// opened by its kind, as the open command would. Options the program does not know are
// refused, so that a typing mistake never becomes a file name.

#include <string>
#include <vector>

namespace luckyscope {

struct CommandLine {
  enum class Action {
    Run,      // start (or hand `files` to the running copy)
    Help,     // print the usage and end with code 0
    Version,  // print the version and end with code 0
    Refuse,   // print `message` and the usage hint and end with kRefusedExitCode
  };
  Action action = Action::Run;
  // The files named, in order, as given (file-name bytes).
  std::vector<std::string> files;
  // What was refused, for the terminal.
  std::string message;
};

// Exit code of a command line that was refused.
inline constexpr int kRefusedExitCode = 2;

// Reads the arguments after the program's name. "--" ends the options: every argument
// after it is a file, even one that begins with "-". A lone "-" is a file name too.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Whether the terminal's messages should be English: the C (or POSIX) locale, where
// Japanese text may not show. `messagesLocale` is the first of LC_ALL, LC_MESSAGES and
// LANG that is set (null when none is).
bool WantsEnglish(const char* messagesLocale);

// The texts printed for --help, --version and a refused option.
std::string UsageText(bool english);
std::string VersionText();
std::string RefusalText(const CommandLine& refused, bool english);

}  // namespace luckyscope
