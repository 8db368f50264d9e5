#pragma once
// The two places where the window waits for the person in front of it: file
// dialogs and message boxes. The window talks to them through these small
// interfaces; the desktop build uses the Qt dialogs, the tests a recorder.

#include <QString>
#include <QStringList>
#include <optional>

#include "core/RunHooks.h"

class QWidget;

namespace morphel::ui {

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Each returns the chosen path, or nothing when the user cancelled. A
  // dialog opens at `start`: a folder, or a file whose folder it shows with
  // the file chosen (empty: the dialog's own choice).
  virtual std::optional<QString> OpenInput(QWidget* parent, const QString& start) = 0;
  virtual std::optional<QString> SaveOutput(QWidget* parent, const QString& start) = 0;
  virtual std::optional<QString> OpenConfig(QWidget* parent, const QString& start) = 0;
  virtual std::optional<QString> SaveConfig(QWidget* parent, const QString& start) = 0;
  // The drive map's export: a GeoPackage, GeoJSON, KML, CSV or PNG file.
  virtual std::optional<QString> SaveMap(QWidget* parent, const QString& start) = 0;
};

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A modal box with an OK button: "Information", "Warning" or "Error" with
  // the matching icon. Returns when the user has dismissed it.
  virtual void Show(QWidget* parent, MessageKind kind, const QString& text) = 0;
};

// The desktop implementations.
class QtFileDialogs : public FileDialogs {
 public:
  std::optional<QString> OpenInput(QWidget* parent, const QString& start) override;
  std::optional<QString> SaveOutput(QWidget* parent, const QString& start) override;
  std::optional<QString> OpenConfig(QWidget* parent, const QString& start) override;
  std::optional<QString> SaveConfig(QWidget* parent, const QString& start) override;
  std::optional<QString> SaveMap(QWidget* parent, const QString& start) override;
};

class QtMessageBoxes : public MessageBoxes {
 public:
  void Show(QWidget* parent, MessageKind kind, const QString& text) override;
};

// The Open dialog's filters for logs: "All receiver logs" with every
// product's pattern first, one filter per product, "All files (*)" last.
QStringList InputLogFilters();

// Qt spells a filter list "Name (*.ext);;Name (*.ext)"; the window's filters
// are written as "Name|*.ext|Name|*.ext" pairs. Exposed for the tests.
QString QtFilterFromPairs(const QString& pairs);

}  // namespace morphel::ui
