// morphel-gui: the desktop window over the conversion engine (see
// GuiArguments.h for its command line).

#include <QPixmap>
#include <QProgressBar>
#include <QSettings>
#include <QStringList>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <memory>

#include "app/MainModel.h"
#include "ui/DriveMap.h"
#include "ui/GuiArguments.h"
#include "ui/MorphelApplication.h"
#include "ui/Seams.h"
#include "ui/TMainForm.h"
#include "ui/WindowState.h"

namespace {

using morphel::ui::GuiArguments;
using morphel::ui::TMainForm;

// Messages of a screenshot run go to stderr: nobody is there to close a box.
class PrintedMessages : public morphel::ui::MessageBoxes {
 public:
  void Show(QWidget*, morphel::MessageKind kind, const QString& text) override {
    std::fprintf(stderr, "%s: %s\n", morphel::MessageCaption(kind), qPrintable(text));
  }
};

void Save(QWidget& window, const QString& file) {
  if (auto* main = qobject_cast<TMainForm*>(&window)) main->TimerTimer();
  if (!window.grab().save(file)) {
    std::fprintf(stderr, "morphel-gui: cannot write %s\n", qPrintable(file));
    QCoreApplication::exit(1);
  }
}

// The picture is taken once the log is indexed and the format's preset is
// applied; with --converting, when the gauge first passes 40 % of the
// conversion that follows, and the program ends with the conversion.
void ScheduleScreenshot(TMainForm& window, const GuiArguments& args) {
  auto ready = [&window, args] {
    bool isItem = false;
    const int item = args.format.toInt(&isItem);
    if (isItem) window.OutputFormatGroupChange(item);
    if (args.map) {
      morphel::ui::TDriveMapForm* map = window.DriveMapWindow();
      QObject::connect(map, &morphel::ui::TDriveMapForm::readingFinished, map,
                       [map, file = args.screenshot] {
                         Save(*map, file);
                         QCoreApplication::exit(0);
                       });
      window.DriveMap1Click();
      if (!args.receiver.isEmpty()) map->ChooseReceiver(args.receiver.toInt());
      return;
    }
    if (!args.converting) {
      Save(window, args.screenshot);
      QCoreApplication::exit(0);
      return;
    }
    auto* gauge = window.findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
    auto taken = std::make_shared<bool>(false);
    QObject::connect(gauge, &QProgressBar::valueChanged, &window,
                     [&window, file = args.screenshot, taken](int percent) {
                       if (*taken || percent < 40 || !window.Converting()) return;
                       *taken = true;
                       Save(window, file);
                     });
    QObject::connect(&window, &TMainForm::conversionFinished, &window,
                     [taken] { QCoreApplication::exit(*taken ? 0 : 1); });
    window.btnConvertClick();
  };
  if (args.log.isEmpty()) {
    QTimer::singleShot(0, &window, ready);
    return;
  }
  QObject::connect(&window, &TMainForm::indexingFinished, &window,
                   [ready] { QTimer::singleShot(0, ready); });
  // A file that is no log is never indexed: nothing to wait for.
  QTimer::singleShot(0, &window, [&window, log = args.log] {
    if (!window.OpenInputFile(log)) QCoreApplication::exit(1);
  });
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version need no display: answered before Qt opens one.
  if (morphel::ui::AsksHelpOrVersion(argc, argv)) {
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    const GuiArguments args = morphel::ui::ParseGuiArguments(raw);
    std::fputs(qPrintable(args.help ? morphel::ui::GuiUsage() : morphel::ui::GuiVersion()), stdout);
    return 0;
  }
  // A desktop program runs in the user's locale; no output may depend on it.
  std::setlocale(LC_ALL, "");
  morphel::ui::MorphelApplication app(argc, argv);
  const GuiArguments args = morphel::ui::ParseGuiArguments(QCoreApplication::arguments());
  if (!args.error.isEmpty()) {
    std::fprintf(stderr, "morphel-gui: %s\n%s", qPrintable(args.error),
                 qPrintable(morphel::ui::GuiUsage()));
    return 2;
  }

  morphel::MainModel model;
  morphel::ui::QtFileDialogs files;
  morphel::ui::QtMessageBoxes boxes;
  PrintedMessages printed;
  const bool screenshot = !args.screenshot.isEmpty();
  TMainForm window(model, files,
                   screenshot ? static_cast<morphel::ui::MessageBoxes&>(printed)
                              : static_cast<morphel::ui::MessageBoxes&>(boxes));
  // Size, place and last folder are the desktop user's; a picture for the
  // documentation is always taken at the opening size.
  QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Morphel"),
                  QStringLiteral("morphel-gui"));
  morphel::ui::WindowState state(store);
  if (!screenshot) window.SetWindowState(&state);
  window.show();
  if (screenshot)
    ScheduleScreenshot(window, args);
  else
    morphel::ui::StartWith(window, args);
  return app.exec();
}
