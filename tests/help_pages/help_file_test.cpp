// The compiled help file luckyscope.chm, read the way the help window reads it (chmlib):
// the default topic is the start page, every page and picture of the project is inside,
// every page says it is UTF-8 (the help window decodes by the page's meta charset), and
// no link, anchor or picture leads outside the file or to nothing.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QByteArrayView>
#include <QRegularExpression>
#include <QStringConverter>
#include <QStringDecoder>
#include <chm_lib.h>
#include <gtest/gtest.h>

namespace {

const std::filesystem::path kSourceFolder = LUCKYSCOPE_HELP_SOURCE_DIR;

struct ChmCloser {
  void operator()(chmFile* file) const { chm_close(file); }
};

std::string ReadSourceFile(const std::string& name) {
  std::ifstream in(kSourceFolder / name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The [FILES] section of the help project.
std::vector<std::string> ProjectFiles() {
  std::istringstream project(ReadSourceFile("luckyscope.hhp"));
  std::vector<std::string> files;
  bool inFiles = false;
  for (std::string line; std::getline(project, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inFiles = line == "[FILES]";
    } else if (inFiles && !line.empty()) {
      files.push_back(line);
    }
  }
  return files;
}

std::vector<std::string> Pages() {
  std::vector<std::string> pages;
  for (const std::string& file : ProjectFiles()) {
    if (file.ends_with(".html")) pages.push_back(file);
  }
  return pages;
}

std::vector<std::string> Captures(const std::string& text, const std::regex& pattern) {
  std::vector<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1].str());
  }
  return found;
}

std::vector<std::string> LinkTargets(const std::string& html) {
  static const std::regex kLink(R"re((?:href|src)\s*=\s*"([^"]*)")re", std::regex::icase);
  return Captures(html, kLink);
}

std::set<std::string> AnchorNames(const std::string& html) {
  static const std::regex kAnchor(R"re(\b(?:name|id)\s*=\s*"([^"]*)")re", std::regex::icase);
  std::vector<std::string> names = Captures(html, kAnchor);
  return {names.begin(), names.end()};
}

std::vector<std::string> SitemapLocals(const std::string& sitemap) {
  static const std::regex kLocal(R"re(<param\s+name="Local"\s+value="([^"]*)")re", std::regex::icase);
  return Captures(sitemap, kLocal);
}

class HelpFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { file_.reset(chm_open(LUCKYSCOPE_HELP_CHM)); }
  static void TearDownTestSuite() { file_.reset(); }

  void SetUp() override { ASSERT_NE(file_, nullptr) << "cannot open " << LUCKYSCOPE_HELP_CHM; }

  // An object of the help file by its name inside the file ("/index.html").
  static std::optional<std::string> Object(const std::string& name) {
    chmUnitInfo info{};
    if (chm_resolve_object(file_.get(), name.c_str(), &info) != CHM_RESOLVE_SUCCESS) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(info.length), '\0');
    const LONGINT64 read = chm_retrieve_object(file_.get(), &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                                               static_cast<LONGINT64>(info.length));
    if (read != static_cast<LONGINT64>(info.length)) return std::nullopt;
    return bytes;
  }

  // The records of /#SYSTEM: a 4-byte version, then code, length (16-bit little-endian)
  // and data; text records end in NUL.
  static std::map<int, std::string> SystemRecords() {
    std::map<int, std::string> records;
    const std::optional<std::string> system = Object("/#SYSTEM");
    if (!system) return records;
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned>(static_cast<unsigned char>((*system)[i])); };
    std::size_t at = 4;
    while (at + 4 <= system->size()) {
      const unsigned code = byteAt(at) | (byteAt(at + 1) << 8);
      const std::size_t length = byteAt(at + 2) | (byteAt(at + 3) << 8);
      at += 4;
      if (at + length > system->size()) break;
      std::string data = system->substr(at, length);
      data.resize(data.find('\0') == std::string::npos ? data.size() : data.find('\0'));
      records[static_cast<int>(code)] = data;
      at += length;
    }
    return records;
  }

  // Checks that a link written in `from` leads to an object (and anchor) of the file.
  static void ExpectLinkResolves(const std::string& from, const std::string& link) {
    SCOPED_TRACE(from + " -> " + link);
    ASSERT_FALSE(link.empty());
    EXPECT_EQ(link.find(':'), std::string::npos) << "a link must stay inside the help file";
    const std::size_t hash = link.find('#');
    const std::string target = hash == std::string::npos ? link : link.substr(0, hash);
    const std::optional<std::string> page = Object("/" + (target.empty() ? from : target));
    ASSERT_TRUE(page.has_value()) << "no such file in the help file";
    if (hash != std::string::npos) {
      EXPECT_TRUE(AnchorNames(*page).contains(link.substr(hash + 1))) << "no such anchor";
    }
  }

  static inline std::unique_ptr<chmFile, ChmCloser> file_;
};

TEST_F(HelpFile, DefaultTopicIsTheStartPageAndTheTitleIsThePrograms) {
  const std::map<int, std::string> records = SystemRecords();
  ASSERT_TRUE(records.contains(2)) << "no default topic in /#SYSTEM";
  EXPECT_EQ(records.at(2), "index.html");
  ASSERT_TRUE(Object("/" + records.at(2)).has_value());
  ASSERT_TRUE(records.contains(3));
  EXPECT_NE(records.at(3).find("ラッキースコープ！"), std::string::npos);
  ASSERT_TRUE(records.contains(0));
  EXPECT_TRUE(Object("/" + records.at(0)).has_value()) << "the contents file is missing";
}

TEST_F(HelpFile, HoldsEveryFileOfTheProjectAndEveryPageIsListedAndInTheContents) {
  const std::vector<std::string> files = ProjectFiles();
  ASSERT_GE(files.size(), 10u);
  for (const std::string& file : files) {
    const std::optional<std::string> bytes = Object("/" + file);
    EXPECT_TRUE(bytes.has_value() && !bytes->empty()) << file;
  }

  // A page written but forgotten in the project or in the contents would be unreachable.
  const std::set<std::string> listed(files.begin(), files.end());
  const std::optional<std::string> contents = Object("/luckyscope.hhc");
  ASSERT_TRUE(contents.has_value());
  const std::vector<std::string> locals = SitemapLocals(*contents);
  const std::set<std::string> inContents(locals.begin(), locals.end());
  for (const auto& entry : std::filesystem::directory_iterator(kSourceFolder)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".html") continue;
    EXPECT_TRUE(listed.contains(name)) << name << " is not in luckyscope.hhp";
    EXPECT_TRUE(inContents.contains(name)) << name << " is not in luckyscope.hhc";
  }
}

TEST_F(HelpFile, PagesAreUtf8JapaneseWithATitleAndNoScript) {
  static const std::regex kTitle(R"re(<title>([^<]+)</title>)re");
  for (const std::string& name : Pages()) {
    SCOPED_TRACE(name);
    const std::optional<std::string> page = Object("/" + name);
    ASSERT_TRUE(page.has_value());
    const QByteArrayView bytes(page->data(), static_cast<qsizetype>(page->size()));

    const std::optional<QStringConverter::Encoding> declared = QStringConverter::encodingForHtml(bytes);
    ASSERT_TRUE(declared.has_value());
    EXPECT_EQ(*declared, QStringConverter::Utf8);
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder.decode(bytes);
    EXPECT_FALSE(decoder.hasError() || text.contains(QChar::ReplacementCharacter)) << "not valid UTF-8";

    const std::vector<std::string> titles = Captures(*page, kTitle);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_TRUE(QString::fromStdString(titles[0]).contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{9fff}]"))))
        << "the title is not Japanese";
    EXPECT_EQ(page->find("<script"), std::string::npos);
  }
}

TEST_F(HelpFile, EveryLinkAnchorAndPictureLeadsToSomethingInsideTheFile) {
  for (const std::string& name : Pages()) {
    const std::optional<std::string> page = Object("/" + name);
    ASSERT_TRUE(page.has_value()) << name;
    for (const std::string& link : LinkTargets(*page)) ExpectLinkResolves(name, link);
  }
  for (const std::string sitemap : {"luckyscope.hhc", "luckyscope.hhk"}) {
    const std::optional<std::string> text = Object("/" + sitemap);
    ASSERT_TRUE(text.has_value()) << sitemap;
    const std::vector<std::string> locals = SitemapLocals(*text);
    EXPECT_FALSE(locals.empty()) << sitemap;
    for (const std::string& local : locals) ExpectLinkResolves(sitemap, local);
  }
}

TEST_F(HelpFile, StartPageLinksToEveryTopicAndShowsAPngPicture) {
  const std::optional<std::string> start = Object("/index.html");
  ASSERT_TRUE(start.has_value());
  std::set<std::string> linked;
  for (const std::string& link : LinkTargets(*start)) linked.insert(link.substr(0, link.find('#')));
  for (const std::string& page : Pages()) {
    if (page != "index.html") {
      EXPECT_TRUE(linked.contains(page)) << "the start page does not link to " << page;
    }
  }

  static const std::regex kImage(R"re(<img\s[^>]*src\s*=\s*"([^"]+)")re", std::regex::icase);
  const std::vector<std::string> images = Captures(*start, kImage);
  ASSERT_FALSE(images.empty());
  for (const std::string& image : images) {
    SCOPED_TRACE(image);
    EXPECT_TRUE(image.ends_with(".png"));
    const std::optional<std::string> bytes = Object("/" + image);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_LT(bytes->size(), 16u * 1024u) << "the picture should stay small";
  }
}

// Relative luminance of "#rrggbb", or -1 for anything else.
double Luminance(const std::string& colour) {
  static const std::regex kHex(R"(\s*#([0-9a-fA-F]{6})\s*)");
  std::smatch m;
  if (!std::regex_match(colour, m, kHex)) return -1;
  double sum = 0;
  const double weights[] = {0.2126, 0.7152, 0.0722};
  for (std::size_t i = 0; i < 3; ++i) {
    const double v = std::stoi(m[1].str().substr(i * 2, 2), nullptr, 16) / 255.0;
    sum += weights[i] * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
  }
  return sum;
}

// Every colour pair of the help's style sheet, in a light scheme (black on white) and in
// dark ones: a colour a rule leaves open is the scheme's, and a descendant ("th a")
// stands on its ancestor's background. Pages take no colour but from the sheet.
TEST_F(HelpFile, EveryColourPairOfTheStyleReadsInLightAndDarkSchemes) {
  static const std::regex kRule(R"(([^{}]+)\{([^}]*)\})");
  static const std::regex kColor(R"((?:^|;)\s*color\s*:\s*([^;]+))");
  static const std::regex kBackground(R"((?:^|;)\s*background(?:-color)?\s*:\s*([^;]+))");
  const std::optional<std::string> sheet = Object("/luckyscope.css");
  ASSERT_TRUE(sheet.has_value());
  const std::string css = std::regex_replace(*sheet, std::regex(R"(/\*[^*]*\*+([^/*][^*]*\*+)*/)"), " ");
  std::map<std::string, std::pair<std::string, std::string>> rules;  // selector -> colour, background
  for (auto it = std::sregex_iterator(css.begin(), css.end(), kRule); it != std::sregex_iterator(); ++it) {
    const std::string body = (*it)[2].str();
    std::smatch m;
    const std::string color = std::regex_search(body, m, kColor) ? m[1].str() : "";
    const std::string background = std::regex_search(body, m, kBackground) ? m[1].str() : "";
    std::stringstream selectors((*it)[1].str());
    for (std::string selector; std::getline(selectors, selector, ',');) {
      rules[std::regex_replace(selector, std::regex(R"(^\s+|\s+$)"), "")] = {color, background};
    }
  }
  ASSERT_GE(rules.size(), 4u);
  const std::pair<const char*, const char*> schemes[] = {
      {"#000000", "#ffffff"}, {"#ffffff", "#3d3d3d"}, {"#e0e0e0", "#000000"}};
  for (const auto& [selector, pair] : rules) {
    std::string background = pair.second;
    const std::size_t space = selector.rfind(' ');
    if (background.empty() && space != std::string::npos && rules.contains(selector.substr(0, space))) {
      background = rules.at(selector.substr(0, space)).second;
    }
    if (pair.first.empty() && background.empty()) continue;
    for (const auto& [text, base] : schemes) {
      SCOPED_TRACE(selector + " with text " + text + " on " + base);
      const double fg = Luminance(pair.first.empty() ? text : pair.first);
      const double bg = Luminance(background.empty() ? base : background);
      ASSERT_TRUE(fg >= 0 && bg >= 0) << "not a #rrggbb colour";
      EXPECT_GE((std::max(fg, bg) + 0.05) / (std::min(fg, bg) + 0.05), 4.5);
    }
  }
  static const std::regex kPageColour(R"re(<style|\b(style|bgcolor|color|text)\s*=)re", std::regex::icase);
  for (const std::string& name : Pages()) {
    EXPECT_FALSE(std::regex_search(Object("/" + name).value_or(""), kPageColour))
        << name << " brings colours of its own";
  }
}

}  // namespace
