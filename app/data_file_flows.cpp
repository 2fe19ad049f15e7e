#include "app/data_file_flows.h"

#include <optional>
#include <utility>

#include <QFile>
#include <QFileInfo>

#include "core/data_core.h"
#include "core/data_files.h"
#include "core/settings_file.h"
#include "ui/save_failure.h"
#include "ui/ui_helpers.h"

namespace luckyscope {

DataFileFlows::DataFileFlows(DataCore& core, UiServices& ui, Views views)
    : core_(core), ui_(ui), views_(std::move(views)) {}

// ---------------------------------------------------------------------------
// Saving

FileDialogPreset DataFileFlows::TargetSavePreset() {
  return {QStringLiteral("dat"), QStringLiteral("検索対象ファイル(*.dat)|*.dat")};
}

FileDialogPreset DataFileFlows::WinningSavePreset() {
  return {QStringLiteral("ban"), QStringLiteral("当選番号ファイル(*.ban)|*.ban")};
}

FileDialogPreset DataFileFlows::CombinedSavePreset() {
  return {QStringLiteral("dat"), QStringLiteral("検索対象ファイル(*.dat)|*.dat|当選番号ファイル(*.ban)|*.ban")};
}

FileDialogPreset DataFileFlows::OpenPreset() {
  // The settings file is a "*.dat" file too, but no search-target file: not offered.
  return {QStringLiteral("dat"),
          QStringLiteral("検索対象ファイル(*.dat)|*.dat|当選番号ファイル(*.ban)|*.ban|CSVファイル(*.csv)|*.csv"),
          QString::fromLatin1(kSettingsFileName)};
}

bool DataFileFlows::SaveWithDialog(const FileDialogPreset& preset) {
  const std::optional<std::string> path = ui_.SaveFileDialog(preset);
  // A cancelled dialog stops whatever asked for the save, as a failed save does: the
  // user said Yes to keeping the data.
  if (!path) return false;
  // A path too long for the program's buffers is refused by the data core with its
  // "unusable file" message rather than cut to some other name.
  const int result = core_.SaveDataFile(path->c_str());
  views_.filesChanged();
  if (result == kFileDone || result == kFileNothingToSave) return true;
  // A name of no usable kind has had the data core's message already.
  if (result != kFileUnusableName) ShowSaveFailure(ui_, *path, core_.SaveErrorNumber());
  return false;
}

bool DataFileFlows::AskSaveTargets() {
  if (core_.Store().TargetsChanged() == 0) return true;
  return ui_.MessageBox(QStringLiteral("現在の検索対象データをセーブしますか？"), kMessageCaption, kQuestionYesNo) !=
             kAnswerYes ||
         SaveWithDialog(TargetSavePreset());
}

bool DataFileFlows::AskSaveWinning() {
  if (core_.Store().WinningChanged() == 0) return true;
  return ui_.MessageBox(QStringLiteral("現在の当選番号データをセーブしますか？"), kMessageCaption, kQuestionYesNo) !=
             kAnswerYes ||
         SaveWithDialog(WinningSavePreset());
}

void DataFileFlows::Save() {
  const LotteryStore& store = core_.Store();
  const int targets = store.TargetCount();
  const int winning = store.WinningCount();
  if (targets > 0 && winning > 0) {
    SaveWithDialog(CombinedSavePreset());
  } else if (targets > 0) {
    SaveWithDialog(TargetSavePreset());
  } else if (winning > 0) {
    SaveWithDialog(WinningSavePreset());
  } else {
    ui_.MessageBox(QStringLiteral("保存するデータがありません。"), kMessageCaption, kExclamationOk);
  }
}

bool DataFileFlows::AskSaveBeforeClose() {
  const LotteryStore& store = core_.Store();
  const bool targetsUnsaved = store.TargetsChanged() != 0 && store.TargetCount() > 0;
  const bool winningUnsaved = store.WinningChanged() != 0 && store.WinningCount() > 0;
  if (!targetsUnsaved && !winningUnsaved) return true;
  if (ui_.MessageBox(QStringLiteral("データが更新されています。セーブしますか？"), kMessageCaption, kQuestionYesNo) !=
      kAnswerYes) {
    return true;
  }
  // A save that did not happen keeps the window open with its tables, so that the user
  // can save elsewhere.
  return (store.TargetsChanged() == 0 || store.TargetCount() <= 0 || SaveWithDialog(TargetSavePreset())) &&
         // Asked afresh: the first save may have been a winning-number file.
         (store.WinningChanged() == 0 || store.WinningCount() <= 0 || SaveWithDialog(WinningSavePreset()));
}

// ---------------------------------------------------------------------------
// Replacing the tables

void DataFileFlows::New() {
  LotteryStore& store = core_.Store();
  if (store.TargetCount() > 0 || store.WinningCount() > 0) {
    if (ui_.MessageBox(QStringLiteral("データをクリアします。よろしいですか？"), kMessageCaption, kQuestionYesNo) !=
        kAnswerYes) {
      return;
    }
  }
  // A table whose save did not happen is not cleared.
  if (!AskSaveTargets()) return;
  store.ClearTargets();
  views_.targetsChanged();
  if (!AskSaveWinning()) return;
  store.ClearWinningEntries();
  views_.winningChanged();
}

void DataFileFlows::Open() {
  const std::optional<std::string> path = ui_.OpenFileDialog(OpenPreset());
  if (!path) return;
  OpenChosen(*path);
}

void DataFileFlows::OpenChosen(const std::string& path) {
  const int kind = core_.ClassifyDataFile(path.c_str());
  if (!ConfirmForeignFile(path, kind)) return;
  // A table whose save did not happen is not replaced.
  if (kind == kTargetFile && !AskSaveTargets()) return;
  if (kind == kWinningFile && !AskSaveWinning()) return;
  core_.OpenDataFile(path.c_str());
  views_.targetsChanged();
  views_.winningChanged();
  if (kind != kTargetFile && kind != kWinningFile) OfferImport(path);
}

void DataFileFlows::LoadDropped(bool winningList, const std::string& path) {
  // Judged again: the file may have been replaced since it was dropped.
  const int wanted = winningList ? kWinningFile : kTargetFile;
  if (core_.ClassifyDataFile(path.c_str()) != wanted) return;
  if (!ConfirmForeignFile(path, wanted)) return;
  // A save that did not happen stops the load.
  if (!(winningList ? AskSaveWinning() : AskSaveTargets())) return;
  core_.OpenDataFile(path.c_str());
  // The hit results went with old winning numbers: the targets show none.
  if (winningList) views_.winningChanged();
  views_.targetsChanged();
}

bool DataFileFlows::ConfirmForeignFile(const std::string& path, int kind) {
  if ((kind != kTargetFile && kind != kWinningFile) || !core_.LooksForeign(path.c_str())) return true;
  const QString text = kind == kTargetFile
                           ? QStringLiteral("このファイルは検索対象ファイルではないようです。読み込みますか？")
                           : QStringLiteral("このファイルは当選番号ファイルではないようです。読み込みますか？");
  return ui_.MessageBox(text, kMessageCaption, kQuestionYesNoDefaultNo) == kAnswerYes;
}

void DataFileFlows::OfferImport(const std::string& path) {
  // Only a csv file that holds something: the import reads csv files, whatever their
  // first line, and the open command has just said this one is of no kind it knows.
  if (!HasCsvExtension(path.c_str()) || !views_.importFile ||
      QFileInfo(QFile::decodeName(path.c_str())).size() <= 0) {
    return;
  }
  if (ui_.MessageBox(QStringLiteral("このファイルはインポートで検索対象に取り込めます。インポートしますか？"),
                     kMessageCaption, kQuestionYesNo) == kAnswerYes) {
    views_.importFile(path);
  }
}

}  // namespace luckyscope
