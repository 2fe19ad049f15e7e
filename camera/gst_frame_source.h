#pragma once
// Frames through GStreamer: a source element (v4l2src, pipewiresrc, or any gst-launch
// description, a video file say), converted to 32-bit RGB and taken from an appsink
// that keeps only the newest frame, so a slow consumer never holds up the camera.

#include <memory>
#include <vector>

#include "camera/frame_source.h"

namespace luckyscope {

// The environment variable that replaces the camera with any GStreamer source, for
// demonstrations and tests: "filesrc location=cards.mkv ! decodebin", say.
inline constexpr char kCameraSourceVariable[] = "LUCKYSCOPE_CAMERA_SOURCE";

// The cameras the desktop offers (PipeWire's when it runs, else the video devices),
// or the source of LUCKYSCOPE_CAMERA_SOURCE alone when it is set. Empty: no camera.
// A video device the user may not open is listed (its Start tells why).
std::vector<CameraChoice> ListCameras();

// A source for one of them. GStreamer is initialised on first use.
std::unique_ptr<FrameSource> MakeGstFrameSource(const QString& sourceDescription);

}  // namespace luckyscope
