// The window tests run the real window on Qt's offscreen platform, on a screen whose windows have
// no frames, as under Xvfb without a window manager.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM",
            "offscreen:configfile=" SIGRUNE_SOURCE_DIR "/tests/data/offscreen-screen.json");
  }
  QApplication application(argc, argv);
  // What the tests make the window remember goes to a folder of the run's own, never to the user's
  // settings.
  const QTemporaryDir settings;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
