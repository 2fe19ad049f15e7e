#pragma once
// Easy check dialog "簡易チェック": judges one ticket while the user types it, shows the
// verdict in colour, plays the hit or miss cue and appends a line to the easy-check
// log. Made for working through a stack of postcards at the keyboard: after every
// verdict the boxes are emptied and the focus waits for the next ticket.

#include <functional>
#include <string>
#include <string_view>

#include <QDialog>

#include "checks/easy_check.h"
#include "core/data_core.h"
#include "sound/sound_cue.h"
#include "ui/dialog_support.h"

class QCheckBox;
class QKeyEvent;
class QPushButton;

namespace luckyscope {

class ByteLineEdit;
class UiServices;

class TEsyCheckDlg : public ActivatedDialog {
  Q_OBJECT

 public:
  TEsyCheckDlg(DataCore& core, UiServices& ui, SoundCueState& cue, QWidget* parent = nullptr);

  // Writes one log line; answers kLogAppended, kLogNotOpened or kLogWriteFailed.
  using LogWriter = std::function<int(const char* path, std::string_view line)>;
  // Test seam: replaces the file writer (AppendLogLine) of the log.
  void SetLogWriter(LogWriter writer) { logWriter_ = std::move(writer); }

  // Opens the camera check; its button shows only when one is set.
  void SetCameraCheck(std::function<void()> open);
  // The log counter, for the camera check to number the same log.
  int* SharedLogCounter() { return &logCounter_; }

  // Number of the last log line written (0 before the first) and the resolved log
  // path (empty: no log).
  int LogCounter() const { return logCounter_; }
  const char* LogPath() const { return logPath_; }

  // Handlers. The key handlers answer whether they took the key.
  void FormActivate() override;
  void OKBtnClick();
  void CancelBtnClick();
  bool Memo1KeyDown(int key);
  bool Memo2KeyDown(int key);
  void Memo2Change();
  void CheckBox1Click();
  bool CheckBox1KeyDown(int key);
  void Memo4Change();
  bool Memo4KeyDown(int key);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void CheckLastTwoDigits();
  bool CheckWinningData();
  void WriteLog(const std::string& group, const std::string& number, const std::string& result);
  // The verdict's colours and cue.
  void ShowVerdict(const TicketVerdict& verdict);
  // A digit typed while "実行" has the focus; true when taken.
  bool OKBtnKeyDown(const QKeyEvent& key);
  // Empties the boxes for the next ticket and puts the focus where it starts.
  void ResetForNextTicket(const std::string& message, bool lastTwoStep);

  DataCore& core_;
  UiServices& ui_;
  SoundCueState& cue_;
  SystemSettings settings_{};
  // The log counter lives with the dialog, which exists once for the program's run, so
  // numbering continues across showings and starts afresh with the next run.
  int logCounter_ = 0;
  char logPath_[kPathSize] = {};
  LogWriter logWriter_;

  QPushButton* okBtn_ = nullptr;
  QPushButton* cancelBtn_ = nullptr;
  QPushButton* cameraBtn_ = nullptr;
  std::function<void()> openCamera_;
  ByteLineEdit* memo1_ = nullptr;
  ByteLineEdit* memo2_ = nullptr;
  ByteLineEdit* memo3_ = nullptr;
  ByteLineEdit* memo4_ = nullptr;
  QCheckBox* checkBox1_ = nullptr;
};

}  // namespace luckyscope
