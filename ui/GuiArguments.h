#pragma once
// The window's own command line:
//   morphel-gui [LOG]                 the window, with LOG opened as Browse opens it
//   morphel-gui --help | --version    answered without a display
//   morphel-gui --screenshot FILE [--format ITEM] [--converting | --map [--receiver N]] [LOG]
//                                     a picture of the window, then exit
// Qt's own options (-platform, -style, ...) are taken by the application
// object before these are read.

#include <QString>
#include <QStringList>

namespace morphel::ui {

class TMainForm;

struct GuiArguments {
  bool help = false;
  bool version = false;
  QString error;  // an unknown option, a missing value or a second log
  QString log;
  QString screenshot;       // the picture to save
  QString format;           // output format item applied before the picture
  bool converting = false;  // the picture is taken mid-conversion
  bool map = false;         // the picture is of the drive map of LOG
  QString receiver;         // the map coloured by this receiver (else the best server)
};

// args[0] is the program.
GuiArguments ParseGuiArguments(const QStringList& args);
// Whether the raw command line asks for --help or --version, which are
// answered before any display is opened.
bool AsksHelpOrVersion(int argc, char** argv);
QString GuiUsage();
QString GuiVersion();

// Opens the command line's log once the window's event loop runs.
void StartWith(TMainForm& window, const GuiArguments& args);

}  // namespace morphel::ui
