#include "ui/GuiArguments.h"

#include <QTimer>

#include "ui/MorphelApplication.h"
#include "ui/TMainForm.h"

namespace morphel::ui {

namespace {

bool IsHelp(const QString& a) {
  return a == QLatin1String("--help") || a == QLatin1String("-h");
}

bool IsVersion(const QString& a) {
  return a == QLatin1String("--version") || a == QLatin1String("-v");
}

}  // namespace

GuiArguments ParseGuiArguments(const QStringList& args) {
  GuiArguments parsed;
  auto value = [&](qsizetype& i, QString& into) {
    if (i + 1 >= args.size()) {
      parsed.error = QStringLiteral("%1 needs a value").arg(args[i]);
      return;
    }
    into = args[++i];
  };
  bool optionsEnd = false;
  for (qsizetype i = 1; i < args.size() && parsed.error.isEmpty(); ++i) {
    const QString& a = args[i];
    if (!optionsEnd && a == QLatin1String("--")) {
      optionsEnd = true;
    } else if (!optionsEnd && IsHelp(a)) {
      parsed.help = true;
    } else if (!optionsEnd && IsVersion(a)) {
      parsed.version = true;
    } else if (!optionsEnd && a == QLatin1String("--screenshot")) {
      value(i, parsed.screenshot);
    } else if (!optionsEnd && a == QLatin1String("--format")) {
      value(i, parsed.format);
    } else if (!optionsEnd && a == QLatin1String("--input")) {
      value(i, parsed.log);
    } else if (!optionsEnd && a == QLatin1String("--converting")) {
      parsed.converting = true;
    } else if (!optionsEnd && a == QLatin1String("--map")) {
      parsed.map = true;
    } else if (!optionsEnd && a == QLatin1String("--receiver")) {
      value(i, parsed.receiver);
    } else if (!optionsEnd && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
      parsed.error = QStringLiteral("unknown option '%1'").arg(a);
    } else if (!parsed.log.isEmpty()) {
      parsed.error = QStringLiteral("one log at a time ('%1' and '%2')").arg(parsed.log, a);
    } else {
      parsed.log = a;
    }
  }
  return parsed;
}

bool AsksHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    if (a == QLatin1String("--")) return false;
    if (IsHelp(a) || IsVersion(a)) return true;
  }
  return false;
}

QString GuiUsage() {
  return QStringLiteral(
      "Usage: morphel-gui [LOG]\n"
      "The Morphel desktop window: converts the drive-test logs of the QVR receivers\n"
      "into delimited text or a post-processing tool's own layout.\n"
      "\n"
      "  LOG              open this log at start, as Browse does (recognised and indexed)\n"
      "  -h, --help       show this help and exit\n"
      "  -v, --version    show the version and exit\n"
      "  --screenshot FILE [--format ITEM] [--converting | --map [--receiver N]]\n"
      "                   save a picture of the window once LOG is indexed and the\n"
      "                   format's preset applied (--converting: during the\n"
      "                   conversion; --map: of the Drive Map of LOG, coloured by\n"
      "                   receiver N or the best server), then exit\n"
      "\n"
      "Qt's own options (-platform, -style, ...) are accepted as well.\n"
      "The command line for scripts is 'morphel' (morphel --help).\n");
}

QString GuiVersion() {
  return QStringLiteral("morphel-gui %1\n").arg(QString::fromLatin1(MorphelApplication::kVersion));
}

void StartWith(TMainForm& window, const GuiArguments& args) {
  if (args.log.isEmpty()) return;
  QTimer::singleShot(0, &window, [&window, log = args.log] { window.OpenInputFile(log); });
}

}  // namespace morphel::ui
