// The window tests run inside one application object, as the program does.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "app/ui/MorphelApplication.h"

int main(int argc, char** argv) {
  // Also when the runner lists the tests outside ctest's environment.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  morphel::ui::MorphelApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
