// The yardstick of tests/bench/startup_time.sh: the least a Qt Widgets program does to
// show a main window, built with the same compiler, flags and Qt as the program.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("minimal window"));
  window.setCentralWidget(new QLabel(QStringLiteral("ラッキースコープ！"), &window));
  window.resize(640, 480);
  window.show();
  return QApplication::exec();
}
