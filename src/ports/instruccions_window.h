#pragma once
// The instructions window (`instruccionsFrm`): the guidance for a failed port set-up, shown
// modally, with one button that leaves the main window ready to be left and started again.

#include <QDialog>
#include <functional>

class QPlainTextEdit;

namespace kovrel {

class InstruccionsWindow : public QDialog {
  Q_OBJECT

 public:
  // Filled with the guidance of `code` (nothing for codes without guidance).
  explicit InstruccionsWindow(int code, QWidget* parent = nullptr);

  QPlainTextEdit& instruccionsTxt() const { return *text_; }

  std::function<void()> onAccept;  // aceptar_instruccionsBtn, before the window closes

 private:
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace kovrel
