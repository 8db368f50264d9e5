// morphel-gui: the desktop window over the conversion engine.
//   morphel-gui                                  the window
//   morphel-gui --screenshot FILE [--input LOG] [--format ITEM]
//                                                saves a picture of the window
//                                                once it is laid out (the log
//                                                indexed, the format's preset
//                                                applied) and exits

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QStringList>
#include <QTimer>
#include <clocale>

#include "app/MainModel.h"
#include "app/ui/MorphelApplication.h"
#include "app/ui/Seams.h"
#include "app/ui/TMainForm.h"

namespace {

using morphel::ui::TMainForm;

void CentreOnScreen(TMainForm& window) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
  }
}

QString OptionValue(const QStringList& args, const QString& name) {
  const qsizetype at = args.indexOf(name);
  return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
}

// Grabs the window after the pending layout and paint events, or after the
// log given has been indexed.
void ScheduleScreenshot(TMainForm& window, const QString& file, const QString& input,
                        const QString& format) {
  auto grab = [&window, file, format] {
    bool isItem = false;
    const int item = format.toInt(&isItem);
    if (isItem) window.OutputFormatGroupChange(item);
    window.TimerTimer();
    const bool saved = window.grab().save(file);
    QCoreApplication::exit(saved ? 0 : 1);
  };
  if (input.isEmpty()) {
    QTimer::singleShot(0, &window, grab);
    return;
  }
  QObject::connect(&window, &TMainForm::indexingFinished, &window,
                   [grab] { QTimer::singleShot(0, grab); });
  QTimer::singleShot(0, &window, [&window, input] { window.OpenInputFile(input); });
}

}  // namespace

int main(int argc, char** argv) {
  // A desktop program runs in the user's locale; no output may depend on it.
  std::setlocale(LC_ALL, "");
  morphel::ui::MorphelApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  const QString screenshot = OptionValue(args, QStringLiteral("--screenshot"));

  morphel::MainModel model;
  morphel::ui::QtFileDialogs files;
  morphel::ui::QtMessageBoxes messages;
  TMainForm window(model, files, messages);
  CentreOnScreen(window);
  window.show();
  if (!screenshot.isEmpty())
    ScheduleScreenshot(window, screenshot, OptionValue(args, QStringLiteral("--input")),
                       OptionValue(args, QStringLiteral("--format")));
  return app.exec();
}
