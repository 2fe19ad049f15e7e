#include "camera/gst_frame_source.h"

#include <gst/gst.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>

#include <QDir>
#include <QFile>
#include <QSet>

namespace luckyscope {
namespace {

constexpr GstClockTime kOpenWait = 5 * GST_SECOND;
constexpr char kDevicePrefix[] = "v4l2src device=";

void InitGst() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

QString Utf8(const char* text) { return text != nullptr ? QString::fromUtf8(text) : QString(); }

// What a GStreamer error means to the user.
CameraFault Classify(const GError* error, const QString& debug) {
  if (error == nullptr) return CameraFault::Failed;
  const QString all = Utf8(error->message) + QLatin1Char(' ') + debug;
  if (error->domain == GST_RESOURCE_ERROR) {
    switch (error->code) {
      case GST_RESOURCE_ERROR_BUSY:
        return CameraFault::Busy;
      case GST_RESOURCE_ERROR_NOT_FOUND:
        return CameraFault::NoCamera;
      case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
        return CameraFault::NoPermission;
      default:
        break;
    }
  }
  if (all.contains(QLatin1String("Permission denied")) || all.contains(QLatin1String("EACCES"))) {
    return CameraFault::NoPermission;
  }
  if (all.contains(QLatin1String("busy"), Qt::CaseInsensitive)) return CameraFault::Busy;
  if (all.contains(QLatin1String("No such file")) || all.contains(QLatin1String("does not exist"))) {
    return CameraFault::NoCamera;
  }
  return CameraFault::Failed;
}

// A video device node's own check, before GStreamer words it in its own way.
CameraFault CheckDeviceNode(const QString& source) {
  if (!source.startsWith(QLatin1String(kDevicePrefix))) return CameraFault::None;
  const QByteArray path = QFile::encodeName(source.mid(int(std::strlen(kDevicePrefix))).section(QLatin1Char(' '), 0, 0));
  if (::access(path.constData(), R_OK | W_OK) == 0) return CameraFault::None;
  return errno == ENOENT ? CameraFault::NoCamera : (errno == EACCES || errno == EPERM) ? CameraFault::NoPermission
                                                                                        : CameraFault::None;
}

class GstFrameSource final : public FrameSource {
 public:
  explicit GstFrameSource(QString source) : source_(std::move(source)) {}
  ~GstFrameSource() override { Stop(); }

  CameraFault Start(FrameHandler frames, FaultHandler faults, QString* detail) override {
    Stop();
    InitGst();
    if (const CameraFault fault = CheckDeviceNode(source_); fault != CameraFault::None) return fault;
    frames_ = std::move(frames);
    faults_ = std::move(faults);
    start_ = std::chrono::steady_clock::now();
    // BGRx is QImage's RGB32 in memory on a little-endian machine; the sink keeps one
    // frame and drops the older ones.
    const QString description = source_ + QStringLiteral(
                                              " ! videoconvert ! video/x-raw,format=BGRx"
                                              " ! appsink name=luckyscope_frames max-buffers=1 drop=true sync=true"
                                              " emit-signals=true");
    GError* error = nullptr;
    pipeline_ = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error != nullptr) {
      if (detail) *detail = Utf8(error->message);
      const bool missing = error->domain == GST_PARSE_ERROR && error->code == GST_PARSE_ERROR_NO_SUCH_ELEMENT;
      g_error_free(error);
      Stop();
      return missing && source_.startsWith(QLatin1String("v4l2src")) ? CameraFault::NoCamera : CameraFault::Failed;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline_), "luckyscope_frames");
    g_signal_connect(sink, "new-sample", G_CALLBACK(&GstFrameSource::OnSample), this);
    gst_object_unref(sink);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, &GstFrameSource::OnBusMessage, this, nullptr);
    gst_object_unref(bus);

    opening_ = true;
    GstStateChangeReturn result = gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    if (result == GST_STATE_CHANGE_ASYNC) result = gst_element_get_state(pipeline_, nullptr, nullptr, kOpenWait);
    opening_ = false;
    if (result == GST_STATE_CHANGE_FAILURE || result == GST_STATE_CHANGE_ASYNC) {
      CameraFault fault = CameraFault::Failed;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        fault = openFault_ != CameraFault::None ? openFault_ : CameraFault::Failed;
        if (detail) *detail = openDetail_;
      }
      Stop();
      return fault;
    }
    return CameraFault::None;
  }

  void Stop() override {
    if (pipeline_ == nullptr) return;
    // Returns when the streaming threads have stopped: no handler runs after this.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    gst_object_unref(pipeline_);
    pipeline_ = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    openFault_ = CameraFault::None;
    openDetail_.clear();
  }

 private:
  static GstFlowReturn OnSample(GstElement* sink, gpointer self) {
    auto* source = static_cast<GstFrameSource*>(self);
    GstSample* sample = nullptr;
    g_signal_emit_by_name(sink, "pull-sample", &sample);
    if (sample == nullptr) return GST_FLOW_OK;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    int width = 0, height = 0;
    GstMapInfo map;
    if (buffer != nullptr && caps != nullptr && gst_structure_get_int(caps, "width", &width) &&
        gst_structure_get_int(caps, "height", &height) && width > 0 && height > 0 &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      const qsizetype stride = qsizetype(width) * 4;
      if (map.size >= gsize(stride) * gsize(height)) {
        const QImage frame =
            QImage(static_cast<const uchar*>(map.data), width, height, stride, QImage::Format_RGB32).copy();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - source->start_).count();
        if (source->frames_) source->frames_(frame, seconds);
      }
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
  }

  static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_ERROR) return GST_BUS_PASS;
    auto* source = static_cast<GstFrameSource*>(self);
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const QString detail = Utf8(error != nullptr ? error->message : nullptr);
    const CameraFault fault = Classify(error, Utf8(debug));
    g_clear_error(&error);
    g_free(debug);
    bool tell = false;
    {
      std::lock_guard<std::mutex> lock(source->mutex_);
      if (source->openFault_ == CameraFault::None) {
        source->openFault_ = fault;
        source->openDetail_ = detail;
        tell = !source->opening_;
      }
    }
    if (tell && source->faults_) source->faults_(fault, detail);
    return GST_BUS_PASS;
  }

  QString source_;
  GstElement* pipeline_ = nullptr;
  FrameHandler frames_;
  FaultHandler faults_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::atomic<bool> opening_{false};
  CameraFault openFault_ = CameraFault::None;  // the first error since Start
  QString openDetail_;
};

}  // namespace

std::vector<CameraChoice> ListCameras() {
  const QByteArray chosen = qgetenv(kCameraSourceVariable);
  if (!chosen.trimmed().isEmpty()) return {{QString::fromLatin1(kCameraSourceVariable), QString::fromUtf8(chosen)}};
  InitGst();
  std::vector<CameraChoice> cameras;
  QSet<QString> nodes;
  GstDeviceMonitor* monitor = gst_device_monitor_new();
  gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
  if (gst_device_monitor_start(monitor)) {
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* item = devices; item != nullptr; item = item->next) {
      GstDevice* device = GST_DEVICE(item->data);
      gchar* name = gst_device_get_display_name(device);
      GstStructure* props = gst_device_get_properties(device);
      QString node, serial;
      if (props != nullptr) {
        for (const char* key : {"api.v4l2.path", "device.path"}) {
          if (const char* value = gst_structure_get_string(props, key); value != nullptr && node.isEmpty()) {
            node = Utf8(value);
          }
        }
        if (const char* value = gst_structure_get_string(props, "object.serial"); value != nullptr) serial = Utf8(value);
        gst_structure_free(props);
      }
      // One entry per camera: PipeWire's and the video device's are the same camera.
      if (!node.isEmpty() && !nodes.contains(node)) {
        nodes.insert(node);
        cameras.push_back({Utf8(name), QString::fromLatin1(kDevicePrefix) + node});
      } else if (node.isEmpty() && !serial.isEmpty()) {
        cameras.push_back({Utf8(name), QStringLiteral("pipewiresrc target-object=") + serial});
      }
      g_free(name);
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor);
  }
  gst_object_unref(monitor);
  // A device the user may not open is not offered by the monitor: listed, so that its
  // Start can say why it cannot be used.
  const QStringList found = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System);
  for (const QString& entry : found) {
    const QString node = QStringLiteral("/dev/") + entry;
    if (nodes.contains(node) || ::access(QFile::encodeName(node).constData(), R_OK | W_OK) == 0) continue;
    cameras.push_back({node, QString::fromLatin1(kDevicePrefix) + node});
  }
  return cameras;
}

std::unique_ptr<FrameSource> MakeGstFrameSource(const QString& sourceDescription) {
  return std::make_unique<GstFrameSource>(sourceDescription);
}

}  // namespace luckyscope
