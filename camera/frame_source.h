#pragma once
// The frames of a camera, or of any moving picture, as images: what the camera check
// shows and reads. The program uses the GStreamer source (camera/gst_frame_source.h);
// tests hand in a video through the same source or their own.
//
// Contract:
// - Start opens the device and answers once the first frame is on its way or the open
//   failed, with the reason as a CameraFault; it never shows a message itself.
// - Frames and a later failure (the camera unplugged) arrive on the source's own
//   thread, not the user-interface thread: the handlers must be quick and thread-safe.
//   A frame is handed over once and may be kept.
// - Stop returns when no handler runs and none will; the device is free then, so
//   another program (or a new Start) can open it at once. Destroying a started source
//   stops it.

#include <functional>
#include <vector>

#include <QImage>
#include <QString>

namespace luckyscope {

enum class CameraFault {
  None,
  NoCamera,      // no camera is connected (or the source names nothing)
  Busy,          // another program has the camera
  NoPermission,  // the user may not open the device (not in the video group)
  Failed,        // anything else: the detail text says what
};

// One camera the desktop offers: a name for the user and the GStreamer description of
// its source element (a gst-launch fragment such as "v4l2src device=/dev/video0").
struct CameraChoice {
  QString label;
  QString source;
};

class FrameSource {
 public:
  // seconds: when the frame was taken, on a clock that starts near 0 with the source.
  using FrameHandler = std::function<void(const QImage& frame, double seconds)>;
  using FaultHandler = std::function<void(CameraFault fault, const QString& detail)>;

  virtual ~FrameSource() = default;
  // detail: the system's own words for a failure, for the curious (may be empty).
  virtual CameraFault Start(FrameHandler frames, FaultHandler faults, QString* detail) = 0;
  virtual void Stop() = 0;
};

}  // namespace luckyscope
