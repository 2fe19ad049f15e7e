#pragma once
// The main window's layout kept between sessions in the user's state file
// (ui/user_state.h): the window's geometry, the splitter between the two lists and
// the lists' column widths. Whatever does not read back (no file, a damaged file, a
// value out of range) leaves the window as it was built.

#include <vector>

class QMainWindow;
class QSplitter;
class QTreeView;

namespace luckyscope {

struct WindowLayout {
  QMainWindow* window;
  QSplitter* splitter;
  std::vector<QTreeView*> lists;  // found in the state by their object names
};

// True when the window's geometry came back (the window then keeps its place).
bool RestoreWindowLayout(const WindowLayout& layout);
void SaveWindowLayout(const WindowLayout& layout);

}  // namespace luckyscope
