#pragma once
// Generated camera videos for the camera check's tests and benchmark: postcards from
// the postcard generator held up in front of a camera. Each card comes in from below
// with motion blur, is held with a little shake (and a slight blur) for a while, and
// goes out again; the frame has a desk background under uneven light, and there are
// pauses with no card. Frames are drawn when asked for, so a long video costs only
// the frames that are looked at.

#include <cstdint>
#include <string>
#include <vector>

#include <QImage>
#include <QString>

namespace luckyscope::testing {

struct CameraVideoPlan {
  int width = 1280;
  int height = 720;
  double fps = 25;
  int cards = 2;
  double hold = 1.0;       // seconds each card is held at rest
  double pause = 0.6;      // seconds with no card between cards
  bool sameNumberTwice = false;  // the second card bears the first card's number
  double samePause = 3.0;        // the pause before that second card
  std::uint32_t seed = 1;
};

struct CameraVideoCard {
  std::string number;
  double restStart = 0;  // the card comes to rest (seconds from the start)
  double restEnd = 0;    // and starts to leave
};

class CameraVideo {
 public:
  explicit CameraVideo(const CameraVideoPlan& plan);

  const CameraVideoPlan& Plan() const { return plan_; }
  const std::vector<CameraVideoCard>& Cards() const { return cards_; }
  int FrameCount() const { return frames_; }
  double Duration() const { return frames_ / plan_.fps; }
  // The frame at index (0-based), RGB32.
  QImage Frame(int index) const;

  // Writes every frame as a JPEG file frame%05d.jpg in folder; false on a failed write.
  bool WriteJpegFrames(const QString& folder) const;
  // The GStreamer source that plays frames written by WriteJpegFrames at the plan's
  // frame rate (for LUCKYSCOPE_CAMERA_SOURCE).
  QString JpegSourceDescription(const QString& folder) const;

 private:
  struct Shot {
    QImage card;  // scaled to its size at rest
    double enter, rest, leave, gone;
    double angle;  // degrees at rest
  };
  CameraVideoPlan plan_;
  std::vector<Shot> shots_;
  std::vector<CameraVideoCard> cards_;
  QImage light_;  // the uneven light, multiplied over each frame
  int frames_ = 0;
};

}  // namespace luckyscope::testing
