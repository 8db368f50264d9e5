#pragma once
// What the window remembers between runs: its size and position and the
// folder of the last log opened. Window state only: set-ups of a conversion
// are kept in .cfg files, never here.

#include <QString>

class QSettings;
class QWidget;

namespace morphel::ui {

class WindowState {
 public:
  // The store is the desktop's per-user settings in the program, a file of
  // the test's own in the tests.
  explicit WindowState(QSettings& store) : store_(store) {}

  // Puts the saved size and position back; false when none is saved.
  bool Restore(QWidget& window) const;
  void Save(const QWidget& window);

  QString LastFolder() const;
  void SetLastFolder(const QString& folder);

 private:
  QSettings& store_;
};

}  // namespace morphel::ui
