#pragma once
// The program's UiServices on Qt: QMessageBox, Qt's own QFileDialog (the same on every
// desktop, and drivable in tests), the help window, QDesktopServices for the browser,
// the sound output given at construction, and QProgressDialog over a worker thread.

#include <memory>

#include <QPointer>

#include "ui/ui_services.h"

class QWidget;

namespace luckyscope {

class HelpWindow;

class QtUiServices final : public UiServices {
 public:
  // `sound` is the audio output of the sound cues; the program passes the GStreamer
  // back end on the system's default output. Null gives a silent output.
  explicit QtUiServices(std::unique_ptr<SoundBackend> sound);
  ~QtUiServices() override;
  QtUiServices(const QtUiServices&) = delete;
  QtUiServices& operator=(const QtUiServices&) = delete;

  int MessageBox(const QString& text, const QString& caption, MessageFlags flags) override;
  std::optional<std::string> OpenFileDialog(const FileDialogPreset& preset) override;
  std::optional<std::vector<std::string>> OpenFilesDialog(const FileDialogPreset& preset) override;
  std::optional<std::string> SaveFileDialog(const FileDialogPreset& preset) override;
  void HelpDisplayTopic(const std::string& helpFile) override;
  void HelpCloseAll() override;
  bool OpenUrl(const QString& url) override;
  SoundBackend& Sound() override { return *sound_; }
  bool RunWithProgress(const QString& label, int steps, const BackgroundJob& job) override;

  // The help window while one is open (for tests and shutdown).
  HelpWindow* Help() const;

 private:
  std::optional<std::vector<std::string>> RunFileDialog(const FileDialogPreset& preset, bool save, bool many);

  std::unique_ptr<SoundBackend> sound_;
  QPointer<HelpWindow> help_;
};

// The window a message box or file dialog belongs to: the modal dialog that runs, or
// else the active window of the program (none before the first window shows).
QWidget* DialogOwner();

}  // namespace luckyscope
