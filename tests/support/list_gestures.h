#pragma once
// A user's gestures on the main window's lists, for tests and benchmarks that drive the
// window as a user does: each goes through the widget's own signal or event, so the
// window's handlers run as they do by hand.

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPoint>

#include "app/sdi_app_form.h"
#include "ui/report_list.h"

namespace luckyscope::testing {

// Picks an item of the filter box, as a click on it in the opened box does.
inline void PickFilter(TSDIAppForm& form, int index) {
  QComboBox* box = form.ComboBox1();
  box->setCurrentIndex(index);
  emit box->activated(index);
}

// Clicks the header of one of ListView2's columns (1-based, as the window counts them).
inline void ClickColumnHeader(TSDIAppForm& form, int column) {
  emit form.ListView2()->header()->sectionClicked(column - 1);
}

// Presses a key while ListView2 has the focus.
inline void PressOnTargetList(TSDIAppForm& form, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(form.ListView2(), &press);
}

// Opens ListView2's context menu and closes it again: its items stay shown or hidden as
// the selection made them.
inline void OpenTargetMenu(TSDIAppForm& form) {
  emit form.ListView2()->customContextMenuRequested(QPoint(1, 1));
  form.PopupMenu1()->hide();
}

}  // namespace luckyscope::testing
