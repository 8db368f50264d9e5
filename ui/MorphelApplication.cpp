#include "ui/MorphelApplication.h"

#include <QMessageBox>
#include <exception>

#include "core/RunHooks.h"
#include "ui/Look.h"

namespace morphel::ui {

MorphelApplication::MorphelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("QVR Morphel CW"));
  setApplicationDisplayName(QStringLiteral("QVR Morphel CW"));
  setApplicationVersion(QString::fromLatin1(kVersion));
  // Ties the window to its desktop entry (name and icon in the task bar).
  setDesktopFileName(QStringLiteral("morphel-gui"));
  ApplyDesktopLook(*this);
  showError = [](const QString& text) {
    QMessageBox::critical(nullptr, QString::fromLatin1(MessageCaption(MessageKind::Error)), text);
  };
}

bool MorphelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    if (showError) showError(QString::fromLocal8Bit(error.what()));
  } catch (...) {
    if (showError) showError(QStringLiteral("Unknown error."));
  }
  return false;
}

}  // namespace morphel::ui
