#include <gtest/gtest.h>

#include <QApplication>

// The window tests need one application object for the whole run.
int main(int argc, char** argv) {
  // Test discovery runs the program without the test environment: never look for a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
