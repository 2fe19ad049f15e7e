// Reading lottery numbers from generated postcards: for each kind of scan or photo,
// how many numbers are read automatically (both readings agree and are right), how
// many wrong numbers would be taken without a mark, how many were flagged or not
// found, on how many images the count of cards was wrong (an empty row too many or too
// few), and the time per card once the model is loaded. Kinds kept as files (the tagged
// JPEG) are read from a file. Prints a table; not a test.
//
//   build/default/tests/bench/bench_scan [cards per kind, default 40] [first seed] [kind]
//
// BENCH_SCAN_VERBOSE=1 lists every miss and wrong number; BENCH_SCAN_DUMP=<folder>
// saves the images they came from.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "scan/card_reader.h"
#include "tests/scan/postcard_generator.h"

using luckyscope::CardReader;

namespace {

// CPU time of the whole process (the recogniser's own threads included): on a shared
// machine the wall-clock time also counts the time other programs had the processor.
double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

}  // namespace
using namespace luckyscope::testing;

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const int perKind = argc > 1 ? std::atoi(argv[1]) : 40;
  const std::uint32_t firstSeed = argc > 2 ? static_cast<std::uint32_t>(std::atoi(argv[2])) : 1000;
  QString error;
  auto reader = CardReader::Create(&error);
  if (!reader) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  std::printf("%-13s %6s %8s %7s %7s %9s %6s %8s %8s %8s %8s\n", "kind", "cards", "read", "wrong", "flagged",
              "not found", "count", "ms/card", "cpu ms", "groups", "g.wrong");
  QTemporaryDir files;
  int totalCards = 0, totalWrong = 0;
  double totalMs = 0, totalCpuMs = 0;
  const char* only = argc > 3 ? argv[3] : nullptr;
  const QString dump = qEnvironmentVariable("BENCH_SCAN_DUMP");
  for (CardVariant variant : kAllVariants) {
    if (only && std::string(only) != VariantName(variant)) continue;
    int cards = 0, read = 0, wrong = 0, flagged = 0, groups = 0, wrongGroups = 0, miscounted = 0;
    double ms = 0, cpuMs = 0;
    for (std::uint32_t seed = firstSeed; cards < perKind; ++seed) {
      const GeneratedScan scan = GeneratePostcards(variant, seed);
      const QString path = files.filePath(QStringLiteral("card.jpg"));
      if (!scan.file.isEmpty()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(scan.file) != scan.file.size()) return 1;
      }
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = CpuMs();
      const auto reading = scan.file.isEmpty() ? reader->Read(scan.image, luckyscope::ScanResolution(scan.image))
                                               : reader->ReadFile(path);
      if (reading.cards != static_cast<int>(scan.numbers.size())) {
        ++miscounted;
        if (std::getenv("BENCH_SCAN_VERBOSE")) {
          std::fprintf(stderr, "%s seed %u: %d cards seen\n", VariantName(variant), seed, reading.cards);
        }
      }
      ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      cpuMs += CpuMs() - cpuStart;
      std::multiset<std::string> expected(scan.numbers.begin(), scan.numbers.end());
      for (const auto& found : reading.numbers) {
        if (!found.agreed) {
          ++flagged;
          continue;
        }
        const auto hit = expected.find(found.number);
        if (hit != expected.end()) {
          ++read;
          if (!found.group.empty()) {
            ++groups;
            const auto at = std::find(scan.numbers.begin(), scan.numbers.end(), found.number) - scan.numbers.begin();
            if (scan.groups[static_cast<std::size_t>(at)] != found.group) {
              ++wrongGroups;
              if (std::getenv("BENCH_SCAN_VERBOSE")) {
                std::fprintf(stderr, "%s seed %u: group %s read as %s\n", VariantName(variant), seed,
                             scan.groups[static_cast<std::size_t>(at)].c_str(), found.group.c_str());
              }
            }
          }
          expected.erase(hit);
        } else {
          ++wrong;
          if (std::getenv("BENCH_SCAN_VERBOSE")) {
            std::fprintf(stderr, "%s seed %u: wrong %s\n", VariantName(variant), seed, found.number.c_str());
          }
        }
      }
      if (!dump.isEmpty() && (read < 0 || !expected.empty())) {
        scan.image.save(QStringLiteral("%1/%2-%3.png").arg(dump, QString::fromLatin1(VariantName(variant))).arg(seed));
      }
      if (std::getenv("BENCH_SCAN_VERBOSE") && !expected.empty()) {
        for (const auto& n : expected)
          std::fprintf(stderr, "%s seed %u: missed %s\n", VariantName(variant), seed, n.c_str());
      }
      cards += static_cast<int>(scan.numbers.size());
    }
    std::printf("%-13s %6d %7.1f%% %7d %7d %9d %6d %8.1f %8.1f %7.1f%% %8d\n", VariantName(variant), cards,
                100.0 * read / cards, wrong, flagged, cards - read, miscounted, ms / cards, cpuMs / cards,
                100.0 * groups / cards, wrongGroups);
    totalCpuMs += cpuMs;
    totalCards += cards;
    totalWrong += wrong;
    totalMs += ms;
  }
  std::printf("%-13s %6d %8s %7d %7s %9s %6s %8.1f %8.1f\n", "all", totalCards, "", totalWrong, "", "", "",
              totalMs / totalCards, totalCpuMs / totalCards);
  return 0;
}
