// The list out to a real spreadsheet and back: the main window exports it (workbook and
// csv), LibreOffice Calc opens each file headless and saves it again as csv, as a user
// who keeps the list in a spreadsheet would, and the import takes that csv back, padding
// what Calc shortened when it read groups and numbers as numbers. The tickets saved
// afterwards must be the tickets saved before, byte for byte.
//
// Needs soffice (Debian's libreoffice-calc-nogui, in tools/packages.txt); without it the
// test fails rather than passing unseen.

#include <string>

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/sdi_app_form.h"
#include "core/csv_exchange.h"
#include "core/data_core.h"
#include "dialogs/import_dlg.h"
#include "tests/support/file_test_util.h"
#include "tests/support/main_window_harness.h"

namespace luckyscope {
namespace {

class SpreadsheetRoundTrip : public testing::MainWindowHarness {
 protected:
  // Tickets whose groups and numbers begin with zeros (a spreadsheet reads them as
  // numbers and drops them), among others that keep the lengths plain to see.
  void LoadTickets() {
    const char* tickets[][3] = {{"山田一子", "01", "001234"}, {"鈴木, 三郎", "05", "000054"},
                                {"佐藤①ｶﾅ", "12", "123456"}, {"田中", "09", "012345"},
                                {"小日向月子", "10", "900001"}, {"高橋", "23", "234567"},
                                {"Smith", "45", "456789"},     {"木村", "67", "678901"},
                                {"青木", "89", "890123"}};
    for (const auto& [name, group, number] : tickets) AddTarget(name, group, number);
    form_->FillSearchList(FillMode::ShowAll, 0);
  }

  // Calc opens `file` and saves it as UTF-8 csv into `out`; the csv it wrote. A csv is
  // read as UTF-8 with commas, as a user picks in Calc's import dialog.
  std::string ThroughCalc(const std::string& file, const std::string& out) {
    QProcess soffice;
    QStringList arguments{QStringLiteral("-env:UserInstallation=file://") + profile_.path(),
                          QStringLiteral("--headless"), QStringLiteral("--norestore")};
    if (file.ends_with(".csv")) arguments << QStringLiteral("--infilter=Text - txt - csv (StarCalc):44,34,76,1");
    arguments << QStringLiteral("--convert-to") << QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1")
              << QStringLiteral("--outdir") << QString::fromStdString(out) << QString::fromStdString(file);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), profile_.path());
    soffice.setProcessEnvironment(environment);
    soffice.start(QStringLiteral("soffice"), arguments);
    EXPECT_TRUE(soffice.waitForStarted(20000)) << "soffice (libreoffice-calc-nogui) is needed";
    EXPECT_TRUE(soffice.waitForFinished(240000)) << "soffice did not finish";  // killed as `soffice` goes
    const std::string stem = file.substr(file.rfind('/') + 1, file.rfind('.') - file.rfind('/') - 1);
    return out + "/" + stem + ".csv";
  }

  QTemporaryDir profile_;
};

TEST_F(SpreadsheetRoundTrip, ExportedListComesBackFromCalcWithEveryDigit) {
  struct Case {
    const char* what;
    const char* exported;
    int shortGroups, shortNumbers;  // what the import finds shortened and pads again
  };
  const Case cases[] = {
      {"workbook: text cells keep their zeros", "sheet.xlsx", 0, 0},
      {"csv: Calc drops the zeros, the padding offer puts them back", "text.csv", 3, 3},
  };
  LoadTickets();
  ASSERT_EQ(core_.SaveDataFile(Path("before.dat").c_str()), kFileDone);
  const std::string before = testing::GetFile(Path("before.dat"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Store().ClearTargets();
    LoadTickets();
    ui_.ExpectSaveDialog().Choose(Path(c.exported));
    form_->Action(QStringLiteral("FileExport1"))->trigger();
    const std::string csv = ThroughCalc(Path(c.exported), Path("calc"));

    const ImportSource source = ReadImportSource(csv.c_str());
    ASSERT_TRUE(source.readable) << csv;
    ImportLayout layout = GuessLayout(source.rows);
    const PaddingOffer offer = FindShortenedFields(source.rows, layout);
    EXPECT_EQ(offer.shortGroups, c.shortGroups);
    EXPECT_EQ(offer.shortNumbers, c.shortNumbers);
    EXPECT_TRUE(offer.allDigits);
    if (offer.shortGroups > 0) layout.padGroupTo = offer.groupWidth;
    if (offer.shortNumbers > 0) layout.padNumberTo = offer.numberWidth;
    const ImportSummary summary = ImportTargets(core_, source.rows, layout, ImportMode::Replace,
                                                ImportFieldConverter(source.encoding));
    EXPECT_EQ(summary.added, 9);
    ASSERT_EQ(core_.SaveDataFile(Path("after.dat").c_str()), kFileDone);
    EXPECT_EQ(testing::GetFile(Path("after.dat")), before);
  }
}

}  // namespace
}  // namespace luckyscope
