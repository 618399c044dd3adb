// The window tests run the real window on Qt's offscreen platform, on a screen whose windows have
// no frames, as under Xvfb without a window manager.

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM",
            "offscreen:configfile=" SIGRUNE_SOURCE_DIR "/tests/data/offscreen-screen.json");
  }
  QApplication application(argc, argv);
  // The lane names the tests give go to a folder of the run's own, never to the user's settings.
  const QTemporaryDir settings;
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
