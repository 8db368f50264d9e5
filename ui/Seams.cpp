#include "ui/Seams.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "products/FormatTable.h"
#include "products/ProductTable.h"

namespace morphel::ui {

namespace {

constexpr const char* kAllLogs = "All receiver logs";
constexpr const char* kAllFiles = "All files (*)";
constexpr const char* kConfigFilter = "Configuration Files (*.cfg)|*.cfg";
constexpr const char* kConfigSuffix = "cfg";
// The drive map's "Export...": the export formats and a picture of the map.
constexpr const char* kMapFilter =
    "GeoPackage|*.gpkg|GeoJSON|*.geojson|KML (Google Earth)|*.kml|CSV table|*.csv|"
    "PNG picture|*.png";
constexpr const char* kMapSuffix = "gpkg";

// "*.tlf *.TLF": the receivers write their logs on FAT cards, where names
// often come in capitals.
QString PatternOf(const QString& extension) {
  return QLatin1Char('*') + extension.toLower() + QStringLiteral(" *") + extension.toUpper();
}

std::optional<QString> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path;
}

// Opens at a folder, or at a file's folder with the file chosen.
void StartAt(QFileDialog& dialog, const QString& start) {
  if (start.isEmpty()) return;
  const QFileInfo info(start);
  if (info.isDir()) {
    dialog.setDirectory(start);
    return;
  }
  dialog.setDirectory(info.absolutePath());
  dialog.selectFile(info.fileName());
}

std::optional<QString> Run(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Chosen(dialog.selectedFiles().front());
}

// A save dialog that appends the default extension when the user typed none.
std::optional<QString> SaveWithSuffix(QWidget* parent, const QString& title, const QString& filter,
                                      const QString& suffix, const QString& start) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  StartAt(dialog, start);
  return Run(dialog);
}

}  // namespace

QStringList InputLogFilters() {
  QStringList filters;
  QStringList all;
  for (const LogFilter& f : OpenDialogFilters()) {
    QStringList patterns;
    for (const std::string& e : f.extensions)
      patterns << (f.receiverLog ? PatternOf(QString::fromStdString(e))
                                 : QLatin1Char('*') + QString::fromStdString(e));
    const QString pattern = patterns.join(QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(QString::fromLatin1(f.name), pattern);
    if (f.receiverLog) all << pattern;
  }
  filters.prepend(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(kAllLogs), all.join(' ')));
  filters << QString::fromLatin1(kAllFiles);
  return filters;
}

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

std::optional<QString> QtFileDialogs::OpenInput(QWidget* parent, const QString& start) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(InputLogFilters());
  StartAt(dialog, start);
  return Run(dialog);
}

std::optional<QString> QtFileDialogs::SaveOutput(QWidget* parent, const QString& start) {
  return SaveWithSuffix(parent, QString(), QString(), QString(), start);
}

std::optional<QString> QtFileDialogs::OpenConfig(QWidget* parent, const QString& start) {
  QFileDialog dialog(parent, QStringLiteral("Open Configuration"), QString(),
                     QtFilterFromPairs(QString::fromLatin1(kConfigFilter)));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);  // the path and the file must exist
  dialog.setDefaultSuffix(QString::fromLatin1(kConfigSuffix));
  StartAt(dialog, start);
  return Run(dialog);
}

std::optional<QString> QtFileDialogs::SaveConfig(QWidget* parent, const QString& start) {
  return SaveWithSuffix(parent, QStringLiteral("Save Configuration"),
                        QtFilterFromPairs(QString::fromLatin1(kConfigFilter)),
                        QString::fromLatin1(kConfigSuffix), start);
}

std::optional<QString> QtFileDialogs::SaveMap(QWidget* parent, const QString& start) {
  QFileDialog dialog(parent, QStringLiteral("Export the Drive Map"), QString(),
                     QtFilterFromPairs(QString::fromLatin1(kMapFilter)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromLatin1(kMapSuffix));
  // The filter chosen gives the name its extension.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
    const qsizetype dot = f.lastIndexOf(QStringLiteral("*."));
    if (dot >= 0) dialog.setDefaultSuffix(f.mid(dot + 2).chopped(1));
  });
  StartAt(dialog, start);
  return Run(dialog);
}

void QtMessageBoxes::Show(QWidget* parent, MessageKind kind, const QString& text) {
  QMessageBox::Icon icon = QMessageBox::Information;
  if (kind == MessageKind::Warning) icon = QMessageBox::Warning;
  if (kind == MessageKind::Error) icon = QMessageBox::Critical;
  QMessageBox box(icon, QString::fromLatin1(MessageCaption(kind)), text, QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace morphel::ui
