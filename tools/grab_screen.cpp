// Saves the whole screen as a PNG: a look at the window as a user sees it, under xvfb-run, where
// no screenshot program is at hand. Usage: grab_screen OUTPUT.png

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    return 2;
  }
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr && screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
