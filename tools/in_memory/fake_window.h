#pragma once
// In-memory main window: remembers every property a handler sets, as the operator would see it.

#include <array>
#include <string>
#include <vector>

#include "base/window.h"

namespace kovrel::testing {

class FakeWindow : public Window {
 public:
  struct State {
    bool enabled = true, visible = true, checked = false, password = false;
    std::string text;
    Rgb colour = kBlack;
    int value = 0, height = 0, top = 0;
  };

  FakeWindow() { at(Control::Form1).height = kFormHeightClosed; }

  void setEnabled(Control c, bool on) override { at(c).enabled = on; }
  bool isEnabled(Control c) const override { return at(c).enabled; }
  void setVisible(Control c, bool on) override { at(c).visible = on; }
  bool isVisible(Control c) const override { return at(c).visible; }
  void setText(Control c, std::string_view text) override {
    at(c).text = std::string(text);
    if (c == Control::Text1) text1History.emplace_back(text);
  }
  std::string text(Control c) const override { return at(c).text; }
  void setChecked(Control c, bool on) override { at(c).checked = on; }
  bool isChecked(Control c) const override { return at(c).checked; }
  void setForeColor(Control c, Rgb colour) override { at(c).colour = colour; }
  Rgb foreColor(Control c) const override { return at(c).colour; }
  void setPasswordMode(Control c, bool on) override { at(c).password = on; }
  bool passwordMode(Control c) const override { return at(c).password; }
  void setValue(Control c, int value) override {
    at(c).value = value;
    if (c == Control::ProgressBar1) progressHistory.push_back(value);
  }
  int value(Control c) const override { return at(c).value; }
  int heightTwips(Control c) const override { return at(c).height; }
  void setHeightTwips(Control c, int twips) override { at(c).height = twips; }
  int topTwips(Control c) const override { return at(c).top; }
  void setTopTwips(Control c, int twips) override { at(c).top = twips; }
  void bringToFront(Control c) override { frontOrder.push_back(c); }
  void repaint(Control c) override { repaints.push_back(c); }
  void messageBox(std::string_view text, std::string_view title) override {
    messageBoxes.emplace_back(std::string(text), std::string(title));
  }
  char decimalSeparator() const override { return separator; }

  State& at(Control c) { return states_.at(static_cast<std::size_t>(c)); }
  const State& at(Control c) const { return states_.at(static_cast<std::size_t>(c)); }

  // Every text Text1 showed, in order (the last is what the operator sees now).
  std::vector<std::string> text1History;
  // Every value the progress bar took, in order.
  std::vector<int> progressHistory;
  std::vector<Control> frontOrder, repaints;
  std::vector<std::pair<std::string, std::string>> messageBoxes;
  char separator = ',';

 private:
  std::array<State, kControlCount> states_{};
};

}  // namespace kovrel::testing
