#include "app/ui/Seams.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace morphel::ui {

namespace {

constexpr const char* kLogFilter =
    "Tolvan Log File |*.tlf|Velmar Log File|*.vlf|Zev Log File (PC Card)|*.bin|Zev Log File (PC "
    "Dump)|*.zev|Skarn Log File|*.slf|Pell Converted File|*.pel|Brisel Log File|*.blf";
constexpr const char* kConfigFilter = "Configuration Files (*.cfg)|*.cfg";
constexpr const char* kConfigSuffix = "cfg";

std::optional<QString> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path;
}

// A save dialog that appends the default extension when the user typed none.
std::optional<QString> SaveWithSuffix(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& suffix) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Chosen(dialog.selectedFiles().front());
}

}  // namespace

QString QtFilterFromPairs(const QString& pairs) {
  const QStringList parts = pairs.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i].trimmed();
    const QString patterns = parts[i + 1].trimmed();
    // "Configuration Files (*.cfg)" already names its pattern.
    if (!name.contains(QLatin1Char('(')))
      name += QStringLiteral(" (") + patterns + QLatin1Char(')');
    filters << name;
  }
  return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialogs::OpenInput(QWidget* parent) {
  return Chosen(QFileDialog::getOpenFileName(parent, QString(), QString(),
                                             QtFilterFromPairs(QString::fromLatin1(kLogFilter))));
}

std::optional<QString> QtFileDialogs::SaveOutput(QWidget* parent) {
  return SaveWithSuffix(parent, QString(), QString(), QString());
}

std::optional<QString> QtFileDialogs::OpenConfig(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Open Configuration"), QString(),
                     QtFilterFromPairs(QString::fromLatin1(kConfigFilter)));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);  // the path and the file must exist
  dialog.setDefaultSuffix(QString::fromLatin1(kConfigSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Chosen(dialog.selectedFiles().front());
}

std::optional<QString> QtFileDialogs::SaveConfig(QWidget* parent) {
  return SaveWithSuffix(parent, QStringLiteral("Save Configuration"),
                        QtFilterFromPairs(QString::fromLatin1(kConfigFilter)),
                        QString::fromLatin1(kConfigSuffix));
}

void QtMessageBoxes::Show(QWidget* parent, MessageKind kind, const QString& text) {
  QMessageBox::Icon icon = QMessageBox::Information;
  if (kind == MessageKind::Warning) icon = QMessageBox::Warning;
  if (kind == MessageKind::Error) icon = QMessageBox::Critical;
  QMessageBox box(icon, QString::fromLatin1(MessageCaption(kind)), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace morphel::ui
