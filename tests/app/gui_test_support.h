#pragma once
// One QApplication for the whole test program (offscreen, set by the test's environment).

#include <QApplication>

namespace kovrel::testing {

inline QApplication& guiApplication() {
  static int argc = 1;
  static char name[] = "kovrel-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);  // lives to the end of the program
  return *app;
}

}  // namespace kovrel::testing
