// The camera check over generated videos: every card judged, how soon after it came to
// rest, no wrong number, and what the reader costs. The reader works on the frames as
// the camera check's worker does (one reader, frames arriving while it is busy are
// dropped), on a simulated clock: a frame is read only if it arrives after the reader
// finished the last one, so the figures are those of a live camera at the video's
// frame rate, whatever the time it takes to draw the frames.
//
//   build/default/tests/bench/bench_camera --cards=200 [--clock=cpu]
//
// --clock=cpu takes the reader's own processor time as the time a read takes: the
// figures of a machine where the reader has a core to itself (a shared machine's wall
// clock counts the other programs' work too).
//
// Also: the live path through GStreamer (frames from files, as from a camera) into the
// camera check window: the time from opening the window to its first frame and the
// preview's frame rate while the reader reads.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include "camera/gst_frame_source.h"
#include "checks/camera_check_dlg.h"
#include "tests/support/scripted_ui_services.h"

#include "checks/camera_watch.h"
#include "scan/card_reader.h"
#include "tests/camera/video_generator.h"

namespace luckyscope {
namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Figures {
  int cards = 0, judged = 0, wrong = 0, late = 0, repeated = 0;
  double worstDelay = 0, sumDelay = 0;
  int reads = 0;
  double readWall = 0, readCpu = 0;
};

bool g_cpuClock = false;

void RunVideo(CardReader& reader, const testing::CameraVideoPlan& plan, Figures& f) {
  const testing::CameraVideo video(plan);
  CardWatcher watcher;
  std::vector<int> verdicts(video.Cards().size(), 0);
  double readerFree = 0;
  for (int i = 0; i < video.FrameCount(); ++i) {
    const double t = i / plan.fps;
    if (t < readerFree) continue;  // the reader is busy: the frame is dropped
    const QImage frame = video.Frame(i);
    const auto start = Clock::now();
    const double cpu0 = CpuSeconds();
    const QImage grey = FrameForReading(frame);
    const ImageReading reading = reader.Read(grey, 300);
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpu0;
    f.readCpu += cpu;
    f.readWall += took;
    ++f.reads;
    readerFree = t + (g_cpuClock ? cpu : took);
    std::vector<std::string> agreed;
    for (const FoundNumber& n : reading.numbers) {
      if (n.agreed && n.number.size() == 6) agreed.push_back(n.number);
    }
    const std::string number = watcher.Feed(t, agreed);
    if (number.empty()) continue;
    // The card in view when the frame was taken.
    int card = -1;
    for (std::size_t c = 0; c < video.Cards().size(); ++c) {
      if (t >= video.Cards()[c].restStart - 0.5 && t <= video.Cards()[c].restEnd + 0.4) card = static_cast<int>(c);
    }
    if (card < 0 || video.Cards()[card].number != number) {
      ++f.wrong;
      std::printf("  wrong: %s at %.2f s (seed %u)\n", number.c_str(), t, plan.seed);
      continue;
    }
    if (verdicts[card]++ > 0) {
      ++f.repeated;
      continue;
    }
    const double delay = readerFree - video.Cards()[card].restStart;
    f.sumDelay += delay;
    if (delay > f.worstDelay) f.worstDelay = delay;
    if (delay > 0.8) ++f.late;
  }
  f.cards += static_cast<int>(video.Cards().size());
  for (int v : verdicts) f.judged += v > 0 ? 1 : 0;
}

void Report(const char* name, const Figures& f) {
  std::printf("%-24s cards %4d  judged %4d  wrong %d  repeated %d  late(>0.8s) %d  delay mean %.2f s worst %.2f s  "
              "read %.0f ms/frame (%.0f ms of processor)  reader %.2f cores\n",
              name, f.cards, f.judged, f.wrong, f.repeated, f.late, f.judged ? f.sumDelay / f.judged : 0, f.worstDelay,
              f.reads ? 1000 * f.readWall / f.reads : 0, f.reads ? 1000 * f.readCpu / f.reads : 0,
              f.readWall > 0 ? f.readCpu / f.readWall : 0);
  std::fflush(stdout);
}

// The live path: frames from files through GStreamer into the camera check window.
void RunLive(int width, int height) {
  testing::CameraVideoPlan plan;
  plan.width = width;
  plan.height = height;
  plan.fps = 30;
  plan.cards = 2;
  plan.hold = 1.5;
  QTemporaryDir dir;
  const testing::CameraVideo video(plan);
  if (!video.WriteJpegFrames(dir.path())) return;
  qputenv(kCameraSourceVariable, video.JpegSourceDescription(dir.path()).toUtf8());
  DataCore core;
  core.InitBaseFolder(dir.path().toUtf8().constData());
  WinningEntry entry{};
  std::strcpy(entry.title, "1");
  entry.pairCount = 1;
  std::strcpy(entry.pairs[0].group, "*");
  std::strcpy(entry.pairs[0].number, video.Cards().front().number.c_str());
  core.Store().PutWinningEntry(1, entry);
  core.Store().SetWinningCount(1);
  ScriptedUiServices ui;
  SoundCueState cue;
  TCameraCheckDlg dlg(core, ui, cue);
  int verdicts = 0;
  dlg.SetLogWriter([&](const char*, std::string_view) { return ++verdicts, kLogAppended; });
  SystemSettings settings{};
  std::strcpy(settings.logFile, "camera.log");
  core.SetSettings(settings);
  const double cpu0 = CpuSeconds();
  QElapsedTimer clock;
  clock.start();
  dlg.show();
  while (clock.elapsed() < video.Duration() * 1000) QTest::qWait(20);
  const double seconds = clock.elapsed() / 1000.0;
  const double cpu = CpuSeconds() - cpu0;
  std::printf("live %dx%d at %.0f fps: first frame %.2f s after opening, preview %.1f fps, %.1f reads/s, "
              "%d of %zu cards judged, whole program %.2f cores\n",
              width, height, plan.fps, dlg.FirstFrameSeconds(), dlg.FramesShown() / seconds, dlg.FramesRead() / seconds,
              verdicts, video.Cards().size(), cpu / seconds);
  std::fflush(stdout);
  dlg.CancelBtnClick();
  ui.DropPendingSteps();
  qunsetenv(kCameraSourceVariable);
}

}  // namespace
}  // namespace luckyscope

int main(int argc, char** argv) {
  using namespace luckyscope;
  int cards = 200;
  bool live = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--cards=", 8) == 0) cards = std::atoi(argv[i] + 8);
    if (std::strcmp(argv[i], "--clock=cpu") == 0) g_cpuClock = true;
    if (std::strcmp(argv[i], "--no-live") == 0) live = false;
  }
  QApplication app(argc, argv);
  if (live) {
    RunLive(1280, 720);
    RunLive(1920, 1080);
  }
  QString error;
  auto reader = CardReader::Create(&error);
  if (!reader) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return 1;
  }
  struct Size {
    const char* name;
    int width, height;
  };
  const Size sizes[] = {{"1280x720, held 1 s", 1280, 720}, {"1920x1080, held 1 s", 1920, 1080}};
  Figures total;
  for (const Size& size : sizes) {
    Figures f;
    const int videos = std::max(1, cards / 2 / 4);
    for (int v = 0; v < videos; ++v) {
      testing::CameraVideoPlan plan;
      plan.width = size.width;
      plan.height = size.height;
      plan.cards = 4;
      plan.hold = 1.0;
      plan.sameNumberTwice = v % 3 == 0;
      plan.seed = static_cast<std::uint32_t>(v + 1 + size.height);
      RunVideo(*reader, plan, f);
    }
    Report(size.name, f);
    total.cards += f.cards;
    total.judged += f.judged;
    total.wrong += f.wrong;
    total.late += f.late;
  }
  std::printf("all: %d cards, %d judged, %d wrong, %d late\n", total.cards, total.judged, total.wrong, total.late);
  return 0;
}
