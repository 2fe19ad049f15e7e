#include "app/command_line.h"

#include <cstring>

namespace luckyscope {

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
    } else if (options && (argument == "--help" || argument == "-h")) {
      // The first of --help and --version wins; files beside them are not opened.
      if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Help;
    } else if (options && (argument == "--version" || argument == "-V")) {
      if (line.action == CommandLine::Action::Run) line.action = CommandLine::Action::Version;
    } else if (options && argument.size() > 1 && argument[0] == '-') {
      CommandLine refused;
      refused.action = CommandLine::Action::Refuse;
      refused.message = argument;
      return refused;
    } else if (!argument.empty()) {
      line.files.push_back(argument);
    }
  }
  if (line.action != CommandLine::Action::Run) line.files.clear();
  return line;
}

bool WantsEnglish(const char* messagesLocale) {
  if (messagesLocale == nullptr || messagesLocale[0] == '\0') return true;
  return std::strcmp(messagesLocale, "C") == 0 || std::strcmp(messagesLocale, "POSIX") == 0 ||
         std::strncmp(messagesLocale, "C.", 2) == 0;
}

std::string UsageText(bool english) {
  if (english) {
    return "Usage: luckyscope [FILE...]\n"
           "Checks lottery tickets against the winning numbers.\n"
           "\n"
           "Each FILE is opened by its kind: a search-target file (.dat), a winning-number\n"
           "file (.ban) or a comma-separated file (.csv) holding either; images of postcards\n"
           "have their numbers read. When the program runs already, the files are handed to\n"
           "the running copy.\n"
           "The settings file luckyscope.dat is read from the current folder.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n";
  }
  return "使い方: luckyscope [ファイル...]\n"
         "手持ちのくじが当選したかどうかを調べます。\n"
         "\n"
         "ファイルはその種類ごとに開きます: 検索対象ファイル (.dat)、当選番号ファイル (.ban)、\n"
         "どちらかを収めた CSV ファイル (.csv)。はがきの画像からは番号を読み取ります。\n"
         "すでに起動しているときは、起動中のラッキースコープ！にファイルを渡します。\n"
         "設定ファイル luckyscope.dat は現在のフォルダーから読みます。\n"
         "\n"
         "  -h, --help     この説明を表示して終了します\n"
         "  -V, --version  バージョンを表示して終了します\n";
}

std::string VersionText() { return std::string("luckyscope ") + LUCKYSCOPE_VERSION + "\n"; }

std::string RefusalText(const CommandLine& refused, bool english) {
  if (english) {
    return "luckyscope: unknown option '" + refused.message + "'\nTry 'luckyscope --help' for more information.\n";
  }
  return "luckyscope: 不明なオプションです: '" + refused.message + "'\n詳しくは 'luckyscope --help' を見てください。\n";
}

}  // namespace luckyscope
