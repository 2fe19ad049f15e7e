#pragma once
// Pieces that the program's dialogs share: the fixed dialog frame, buttons that a
// focused Enter presses, and the reading of the registration-number box.

#include <initializer_list>
#include <optional>

#include <QDialog>
#include <QString>

#include "ui/byte_line_edit.h"

class QShowEvent;
class QFrame;
class QGridLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace luckyscope {

class UiServices;

// A dialog that fills its controls from the data every time the program shows it
// (FormActivate after show()), but not when the window system shows it again.
class ActivatedDialog : public QDialog {
 public:
  using QDialog::QDialog;
  virtual void FormActivate() = 0;

 protected:
  void showEvent(QShowEvent* event) override;
};

// Fixed-size dialog with a title bar, a system menu and a close box, but no minimise,
// maximise or context-help button. Its size follows its layout, so no label is cut.
void SetFixedDialogFrame(QDialog& dialog);

// A button of these dialogs is never an automatic default: Enter pressed elsewhere does
// not reach it. Enter (either key) on the focused button presses it, as Space does.
void MakeFocusedEnterPress(QPushButton& button);

// Controls named as the tests and accessibility tools find them. Buttons are made
// with MakeFocusedEnterPress; boxes take at most maxBytes bytes, with or without the
// input method; a label names its box as buddy.
QPushButton* MakeDialogButton(const QString& text, const char* name, QWidget* parent);
ByteLineEdit* MakeDialogBox(const char* name, int maxBytes, bool ime, QWidget* parent,
                            TextBytes encoding = TextBytes::Cp932);
QLabel* MakeDialogLabel(const QString& text, const char* name, QWidget* buddy, QWidget* parent);

// Tab order: each widget after the one before it.
void SetTabChain(std::initializer_list<QWidget*> widgets);

// The framed panel of both editing dialogs: the registration number with "<" and ">"
// beside it, the wide name (or title) box, and group and number side by side. The
// grid has four columns; rows from 3 on are the caller's.
struct RecordPanel {
  QFrame* frame;
  QGridLayout* grid;
  ByteLineEdit* memo1;   // registration number
  QPushButton* button1;  // "<"
  QPushButton* button2;  // ">"
  ByteLineEdit* memo2;   // name or title
  ByteLineEdit* memo3;   // group
  ByteLineEdit* memo4;   // number
};
RecordPanel BuildRecordPanel(QWidget* parent, int regNoChars, const QString& nameLabel);

// True for the Enter key of the main block and of the keypad.
bool IsEnterKey(int key);

// The Enter chain of the editing dialogs: Enter moves the focus to `next`. True when
// the key was Enter (and so is used up).
bool MoveFocusOnEnter(int key, QWidget* next);

// Focus moved inside the dialog (Tab, click, a program's setFocus), as opposed to the
// whole window losing the focus to another window or a popup.
bool IsFocusMoveWithinWindow(int focusReason);

// The registration-number box read the lenient way ("12a" is 12, "abc" is 0), or
// nothing when the box is empty.
std::optional<int> ReadRegistrationNumber(const ByteLineEdit& box);

// n held to 1..count+1 and never above the table size.
int ClampRegistrationNumber(int n, int count, int tableSize);

// Browsing the working copy of an editing dialog, whose records fill slots 1..count
// with no gap, in a table of tableSize slots.
//
// Removes record n (1..count): every later record moves down one slot and the last
// slot of the table, having no successor, is emptied.
template <typename Slot>
void RemoveWorkingSlot(Slot* table, int tableSize, int& count, int n) {
  for (int k = n - 1; k < count; ++k) table[k] = k < tableSize - 1 ? table[k + 1] : Slot{};
  --count;
}

// Where ">" goes after committing slot n: after a deletion it shows the record that
// moved into the place; from a record the next one, from the last record the first
// free slot; from the free slot nowhere; never past the table.
int NextWorkingSlot(int n, bool deleted, int count, int tableSize);

// The registration-number box is empty when a step has to know the record: the step
// changes nothing and the user is told so.
void ReportMissingRegistrationNumber(UiServices& ui, QWidget* focusBack);

}  // namespace luckyscope
