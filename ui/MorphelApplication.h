#pragma once
// The application object: an error that escapes a window handler is shown in
// an error box and the program goes on.

#include <QApplication>
#include <functional>

namespace morphel::ui {

class MorphelApplication : public QApplication {
  Q_OBJECT
 public:
  static constexpr const char* kVersion = "5.15";

  MorphelApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // How an escaped error is shown; the standard error box unless replaced
  // (the tests record it instead).
  std::function<void(const QString&)> showError;
};

}  // namespace morphel::ui
