#pragma once
// Lines typed on standard input, delivered on the event loop. End of input just stops the
// watching (a simulator started in the background with no terminal keeps running).

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <memory>
#include <string>

namespace kovrel::tools {

class StdinLines : public QObject {
  Q_OBJECT
 public:
  explicit StdinLines(QObject* parent = nullptr);

 signals:
  void line(const QString& text);  // without the line end, blanks trimmed

 private:
  void readAvailable();
  std::unique_ptr<QSocketNotifier> notifier_;
  std::string pending_;
};

}  // namespace kovrel::tools
