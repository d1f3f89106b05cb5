#include "fake_window.h"

namespace kovrel::testing {

FakeWindow::FakeWindow() { at(Control::Form1).height = kFormHeightClosed; }

void FakeWindow::setText(Control c, std::string_view text) {
  at(c).text = std::string(text);
  if (c == Control::Text1) text1History.emplace_back(text);
}

void FakeWindow::setValue(Control c, int value) {
  at(c).value = value;
  if (c == Control::ProgressBar1) progressHistory.push_back(value);
}

}  // namespace kovrel::testing
