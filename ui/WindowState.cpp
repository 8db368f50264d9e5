#include "ui/WindowState.h"

#include <QByteArray>
#include <QSettings>
#include <QWidget>

namespace morphel::ui {

namespace {
constexpr const char* kGeometryKey = "window/geometry";
constexpr const char* kFolderKey = "window/lastFolder";
}  // namespace

bool WindowState::Restore(QWidget& window) const {
  const QByteArray geometry = store_.value(QString::fromLatin1(kGeometryKey)).toByteArray();
  // restoreGeometry keeps a saved place that no longer fits any screen on one.
  return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void WindowState::Save(const QWidget& window) {
  store_.setValue(QString::fromLatin1(kGeometryKey), window.saveGeometry());
  store_.sync();
}

QString WindowState::LastFolder() const {
  return store_.value(QString::fromLatin1(kFolderKey)).toString();
}

void WindowState::SetLastFolder(const QString& folder) {
  if (folder.isEmpty() || folder == LastFolder()) return;
  store_.setValue(QString::fromLatin1(kFolderKey), folder);
  store_.sync();
}

}  // namespace morphel::ui
