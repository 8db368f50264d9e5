// The window tests run inside one application object, as the program does.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QSettings>
#include <QTemporaryDir>
#include <QtGlobal>

#include "ui/MorphelApplication.h"

int main(int argc, char** argv) {
  // Also when the runner lists the tests outside ctest's environment.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", MORPHEL_OFFSCREEN);
  // Whatever the window or Qt's own dialogs remember stays in a folder of
  // this run, never in the user's or the CI machine's settings.
  QTemporaryDir settings;
  if (!settings.isValid()) return 1;
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
    QSettings::setPath(format, QSettings::UserScope, settings.path());
  morphel::ui::MorphelApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
