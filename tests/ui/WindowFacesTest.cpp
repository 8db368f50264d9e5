// A window that fits today's desktops: its size and what it remembers, a
// readable gauge and a status bar that says what runs, logs given on the
// command line or dropped on it, the Open dialog's filters, moving the
// selected fields, the Scan Type choice in sight, and the desktop's look.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <map>
#include <tuple>

#include "cli/CommandLine.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"
#include "tests/ui/GuiTestSupport.h"
#include "ui/Dialogs.h"
#include "ui/GuiArguments.h"
#include "ui/Look.h"
#include "ui/WindowState.h"

namespace morphel::ui::test {
namespace {

using morphel::test::ReadFile;
using morphel::test::TempPath;

QStringList AllFieldNames() {
  QStringList names;
  for (int id = 0; id < FieldCatalog::kFieldCount; ++id) {
    const std::string_view name = FieldCatalog::Name(id);
    names << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  }
  return names;
}

// The application font at a point size for one test.
class AppFontSize {
 public:
  explicit AppFontSize(double points) : previous_(QApplication::font()) {
    QFont font = previous_;
    font.setPointSizeF(points);
    QApplication::setFont(font);
  }
  ~AppFontSize() { QApplication::setFont(previous_); }

 private:
  QFont previous_;
};

TEST(WindowFaces, OpensWithEveryFieldNameReadableAndNeverBelow800x504) {
  AppFontSize usual(9);
  Window w;
  w.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(w.form.get()));
  // On a desktop-sized screen the window opens at its own size...
  EXPECT_EQ(w.form->size(), w.form->OpeningSize(QRect(0, 0, 1920, 1080)));
  for (const char* name : {"AvailableBox", "SelectedBox"}) {
    auto* box = w.Find<QListWidget>(name);
    box->clear();
    box->addItems(AllFieldNames());
    EXPECT_LE(box->sizeHintForColumn(0), box->viewport()->width()) << name;
  }
  // ...never below 800 x 504, to which it can be made smaller with the
  // desktop's usual font, and fitted to a small screen.
  EXPECT_EQ(w.form->minimumSize(), QSize(800, 504));
  w.form->resize(800, 504);
  EXPECT_EQ(w.form->size(), QSize(800, 504));
  EXPECT_EQ(w.form->OpeningSize(QRect(0, 0, 800, 600)).width(), 800);
  EXPECT_LE(w.form->OpeningSize(QRect(0, 0, 800, 600)).height(), 600);
  EXPECT_EQ(w.form->OpeningSize(QRect(0, 0, 640, 480)), QSize(800, 504));
}

TEST(WindowFaces, ALargerFontNeverSqueezesTheSteps) {
  AppFontSize large(13);
  Window w;
  EXPECT_EQ(w.form->minimumSize(), w.form->minimumSizeHint().expandedTo(QSize(800, 504)));
  EXPECT_GT(w.form->minimumSize().width(), 800);
}

TEST(WindowFaces, RemembersSizePositionAndLastFolderButNoSetUp) {
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("morphel-gui.ini"));
  const std::string folder = dir.filePath(QStringLiteral("drives")).toStdString();
  std::filesystem::create_directories(folder);
  const std::string log = folder + "/remembered.tlf";
  std::filesystem::copy_file(SampleLog("tolvan", "remembered.tlf", 20), log);
  const QRect placed(100, 80, 1000, 640);
  {
    QSettings store(ini, QSettings::IniFormat);
    WindowState state(store);
    Window w;
    w.form->SetWindowState(&state);
    w.form->show();
    w.form->setGeometry(placed);
    w.BrowseAndIndex(log);
    w.ChooseFormat(5);
    w.form->close();
  }
  QSettings store(ini, QSettings::IniFormat);
  EXPECT_EQ(store.allKeys(),
            (QStringList{QStringLiteral("window/geometry"), QStringLiteral("window/lastFolder")}));
  WindowState state(store);
  Window w;
  w.form->SetWindowState(&state);
  w.form->show();
  EXPECT_EQ(w.form->geometry(), placed);
  w.Click("InBrowse");  // the dialog (cancelled) opened in the last log's folder
  ASSERT_FALSE(w.files.starts.empty());
  EXPECT_EQ(w.files.starts.back().toStdString(), folder);
  // Set-ups are not window state: the format is the start-up one.
  EXPECT_EQ(w.model.GetSettings().OutputFormatGroup, kFormatCustom);
}

// Relative-luminance contrast between the most common colour inside a
// gauge's frame (its fill or groove) and the colour that stands out most
// from it (the percentage drawn over it).
double TextContrast(const QImage& image) {
  constexpr int kFrame = 4;
  std::map<QRgb, int> counts;
  for (int y = kFrame; y < image.height() - kFrame; ++y)
    for (int x = kFrame; x < image.width() - kFrame; ++x) ++counts[image.pixel(x, y)];
  QRgb background = 0;
  int most = 0;
  for (const auto& [rgb, n] : counts)
    if (n > most) std::tie(background, most) = std::tie(rgb, n);
  double best = 1;
  for (const auto& [rgb, n] : counts) best = std::max(best, ContrastRatio(background, rgb));
  return best;
}

TEST(WindowFaces, GaugeAndClockReadOnLightAndDarkPalettes) {
  const QPalette light = QApplication::style()->standardPalette();
  for (const QPalette& palette : {light, DarkPalette()}) {
    Window w;
    w.form->setPalette(palette);
    auto* gauge = w.Find<QProgressBar>("ProgressBar");
    gauge->resize(240, gauge->sizeHint().height());
    for (int value : {0, 100}) {
      gauge->setValue(value);
      const double contrast = TextContrast(gauge->grab().toImage());
      RecordProperty("contrast", std::to_string(contrast));
      EXPECT_GE(contrast, 3.0) << value << "% on a " << (IsDark(palette) ? "dark" : "light")
                               << " palette";
    }
    auto* clock = w.Find<QLabel>("olClock");
    EXPECT_GE(ContrastRatio(clock->palette().color(clock->foregroundRole()),
                            clock->palette().color(clock->backgroundRole())),
              4.5);
  }
  // Whatever highlight a theme picks, the fill stands apart from the text.
  for (const QColor highlight :
       {QColor(Qt::yellow), QColor(0x30, 0x8c, 0xc6), QColor(0x00, 0x00, 0x80)}) {
    QPalette p = light;
    p.setColor(QPalette::Highlight, highlight);
    const QPalette readable = ReadableGaugePalette(p);
    EXPECT_GE(ContrastRatio(readable.color(QPalette::Highlight),
                            readable.color(QPalette::HighlightedText)),
              4.5)
        << highlight.name().toStdString();
  }
}

TEST(WindowFaces, StatusBarSaysWhatRunsAndHowItEnded) {
  Window w;
  const std::string log = SampleLog("tolvan", "status.tlf", 30);
  QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
  w.files.inputs.push_back(QString::fromStdString(log));
  w.Click("InBrowse");
  EXPECT_EQ(StatusLineOf(w), "Indexing status.tlf...");
  ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
  const int segments = w.model.CurrentReader()->SegmentCounter;
  EXPECT_EQ(StatusLineOf(w), QStringLiteral("status.tlf indexed: %1 segments.").arg(segments));

  ChooseDriveFields(w);
  const std::string out = TempPath("status.out");
  SetOutput(w, out);
  QSignalSpy converted(w.form.get(), &TMainForm::conversionFinished);
  w.Click("btnConvert");
  EXPECT_EQ(StatusLineOf(w), "Converting status.tlf to status.out...");
  ASSERT_TRUE(converted.wait(kRunTimeoutMs));
  const std::string text = ReadFile(out);
  const auto rows = std::count(text.begin(), text.end(), '\n') - 1;  // after the title line
  EXPECT_EQ(StatusLineOf(w),
            QStringLiteral("Converted: %1 records written to status.out.").arg(rows));

  w.form->Generator1Click();
  QSignalSpy gathered(w.form.get(), &TMainForm::gatheringFinished);
  w.form->GeneratorDialog()->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
  EXPECT_EQ(StatusLineOf(w), "Gathering average information from status.tlf...");
  ASSERT_TRUE(gathered.wait(kRunTimeoutMs));
  EXPECT_EQ(StatusLineOf(w), "Average information gathered from status.tlf.");
}

TEST(WindowFaces, CommandLineArgumentsAreRead) {
  const struct {
    QStringList args;
    bool help, version;
    QString log, error;
  } cases[] = {
      {{"morphel-gui"}, false, false, "", ""},
      {{"morphel-gui", "drive1.tlf"}, false, false, "drive1.tlf", ""},
      {{"morphel-gui", "--help"}, true, false, "", ""},
      {{"morphel-gui", "-v"}, false, true, "", ""},
      {{"morphel-gui", "--", "-odd.tlf"}, false, false, "-odd.tlf", ""},
      {{"morphel-gui", "--bogus"}, false, false, "", "unknown option '--bogus'"},
      {{"morphel-gui", "a.tlf", "b.tlf"},
       false,
       false,
       "a.tlf",
       "one log at a time ('a.tlf' and 'b.tlf')"},
      {{"morphel-gui", "--screenshot"}, false, false, "", "--screenshot needs a value"},
  };
  for (const auto& c : cases) {
    const GuiArguments parsed = ParseGuiArguments(c.args);
    EXPECT_EQ(parsed.help, c.help) << c.args.join(' ').toStdString();
    EXPECT_EQ(parsed.version, c.version) << c.args.join(' ').toStdString();
    EXPECT_EQ(parsed.log, c.log) << c.args.join(' ').toStdString();
    EXPECT_EQ(parsed.error, c.error) << c.args.join(' ').toStdString();
  }
}

TEST(WindowFaces, ALogOnTheCommandLineOrDroppedIsOpenedAsBrowseDoes) {
  const std::string log = SampleLog("zev-card", "given.bin", 20);
  {
    Window w;
    QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
    // Named relative to the folder the program starts in; kept as a whole path.
    const QString relative = QDir::current().relativeFilePath(QString::fromStdString(log));
    ASSERT_FALSE(QDir::isAbsolutePath(relative));
    StartWith(*w.form, ParseGuiArguments({"morphel-gui", relative}));
    ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
    EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "QVR Zev (PC CARD)");
    EXPECT_EQ(w.model.GetSettings().InputFilename, log);
    EXPECT_EQ(w.model.GetSettings().OutputFilename, MainModel::DefaultOutputName(log));
  }
  Window w;
  QMimeData text;
  text.setText(QStringLiteral("not a file"));
  QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w.form.get(), &refused);
  EXPECT_FALSE(refused.isAccepted());

  QMimeData file;
  file.setUrls({QUrl::fromLocalFile(QString::fromStdString(log))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w.form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &file, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w.form.get(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
  EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "QVR Zev (PC CARD)");
  EXPECT_EQ(w.model.GetSettings().InputFilename, log);
}

// Answered before any display is opened: xcb without an X server would end
// the program.
TEST(WindowFaces, HelpAndVersionNeedNoDisplay) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  const std::pair<const char*, QString> cases[] = {{"--help", GuiUsage()},
                                                   {"--version", "morphel-gui 5.15\n"}};
  for (const auto& [option, expected] : cases) {
    QProcess gui;
    gui.setProcessEnvironment(env);
    gui.start(QStringLiteral(MORPHEL_GUI_BINARY), {QString::fromLatin1(option)});
    ASSERT_TRUE(gui.waitForFinished(kRunTimeoutMs)) << option;
    EXPECT_EQ(gui.exitStatus(), QProcess::NormalExit) << option;
    EXPECT_EQ(gui.exitCode(), 0) << option << gui.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(gui.readAllStandardOutput()), expected) << option;
  }
  EXPECT_TRUE(GuiUsage().startsWith("Usage: morphel-gui [LOG]\n"));
}

TEST(WindowFaces, OpenDialogOffersAllReceiverLogsAndAllFiles) {
  const QStringList filters = InputLogFilters();
  ASSERT_GE(filters.size(), 3);
  EXPECT_EQ(filters.front(),
            "All receiver logs (*.tlf *.TLF *.vlf *.VLF *.bin *.BIN *.zev *.ZEV *.slf *.SLF "
            "*.blf *.BLF)");
  EXPECT_EQ(filters.back(), "All files (*)");
  // Every product with a reader has a filter with its pattern.
  for (const ProductRow& p : ProductRows()) {
    if (!p.Supported()) continue;
    const QString pattern = QStringLiteral("(*%1 *%2)")
                                .arg(QString::fromLatin1(p.extensions.front()),
                                     QString::fromLatin1(p.extensions.front()).toUpper());
    EXPECT_TRUE(std::any_of(filters.begin() + 1, filters.end() - 1, [&](const QString& f) {
      return f.endsWith(pattern);
    })) << p.caption;
  }
  EXPECT_TRUE(filters.contains("Tolvan Log File (*.tlf *.TLF)"));
  EXPECT_TRUE(filters.contains("Zev Log File (PC Card) (*.bin *.BIN)"));

  // The real dialog shows them, in the folder it is given.
  QTemporaryDir folder;
  QStringList shown;
  QString opened;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    shown = dialog->nameFilters();
    opened = dialog->directory().absolutePath();
    dialog->reject();
  });
  poll.start(10);
  QtFileDialogs dialogs;
  EXPECT_FALSE(dialogs.OpenInput(nullptr, folder.path()).has_value());
  EXPECT_EQ(shown, filters);
  EXPECT_EQ(opened, QDir(folder.path()).absolutePath());
}

TEST(WindowFaces, SelectedFieldsMoveByButtonsAndDragAndSetTheColumnOrder) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "order.tlf", 30));
  ChooseDriveFields(w);  // latitude, longitude, time, << DATA >>
  w.Find<QCheckBox>("FieldTitles")->setChecked(true);
  auto* selected = w.Find<QListWidget>("SelectedBox");
  auto idsFollowNames = [&] {
    for (int i = 0; i < selected->count(); ++i)
      EXPECT_EQ(selected->item(i)->text().toStdString(),
                std::string(FieldCatalog::Name(w.model.SelectedIds()[size_t(i)])))
          << i;
  };
  const std::string lat = "Latitude (Decimal Degrees)", lon = "Longitude (Decimal Degrees)",
                    time = "GPS Time (HH:MM:SS)", data = "<< DATA >>";
  w.Highlight("SelectedBox", 2);
  w.Click("MoveFieldUp");
  w.Click("MoveFieldUp");
  w.Click("MoveFieldUp");  // already first: stays
  EXPECT_EQ(Entries(selected), (std::vector<std::string>{time, lat, lon, data}));
  EXPECT_EQ(selected->currentRow(), 0);
  w.Highlight("SelectedBox", 1);
  w.Click("MoveFieldDown");
  EXPECT_EQ(Entries(selected), (std::vector<std::string>{time, lon, lat, data}));
  idsFollowNames();

  // A drop within the list moves its row as this does; the ids follow.
  EXPECT_EQ(selected->dragDropMode(), QAbstractItemView::InternalMove);
  ASSERT_TRUE(selected->model()->moveRow(QModelIndex(), 3, QModelIndex(), 0));
  EXPECT_EQ(Entries(selected), (std::vector<std::string>{data, time, lon, lat}));
  EXPECT_EQ(w.model.GetSettings().SelectedBox, Entries(selected));
  idsFollowNames();
  EXPECT_EQ(w.Find<QLineEdit>("CommandLine")->text().toStdString(), EquivalentCommandLine(w.model));

  // The order is the column order of the output.
  const std::string out = TempPath("order.out");
  SetOutput(w, out);
  w.ConvertAndWait();
  const std::string output = ReadFile(out);
  const std::string title = output.substr(0, output.find("\r\n"));
  const size_t t = title.find("\"" + time + "\""), o = title.find("\"" + lon + "\""),
               a = title.find("\"" + lat + "\"");
  ASSERT_NE(a, std::string::npos) << title;
  EXPECT_LT(t, o);
  EXPECT_LT(o, a);
  EXPECT_EQ(output, DirectConversion(w, TempPath("order-direct.out"), {}));

  // A tool's own layout has no columns to order.
  w.ChooseFormat(7);
  EXPECT_FALSE(w.Find<QPushButton>("MoveFieldUp")->isEnabled());
  EXPECT_FALSE(selected->dragEnabled());
}

TEST(WindowFaces, ScanTypeIsInSightForTheProductsThatHaveIt) {
  Window w;
  w.form->show();
  w.BrowseAndIndex(SampleLog("tolvan", "scan-type.tlf", 30));
  auto* group = w.Find<QGroupBox>("ScanTypeGroup");
  EXPECT_TRUE(group->isVisible());
  EXPECT_TRUE(group->isEnabled());
  EXPECT_TRUE(w.Find<QRadioButton>("ScanType1")->isChecked());  // "Fast Data"
  EXPECT_EQ(w.Find<QRadioButton>("ScanType0")->text(), "Scan Table");
  auto* hint = w.Find<QLabel>("ScanTypeHint");
  EXPECT_TRUE(hint->isVisible());
  EXPECT_FALSE(hint->text().contains('\n'));

  w.Find<QRadioButton>("ScanType0")->click();
  EXPECT_EQ(w.model.GetSettings().ScanTypeGroup, 0);
  EXPECT_NE(w.Find<QLineEdit>("CommandLine")->text().indexOf("--scan-type table"), -1);
  // Saved and opened with the set-up as before.
  const std::string cfg = TempPath("scan-type.cfg");
  w.files.saveConfigs.push_back(QString::fromStdString(cfg));
  w.form->SaveConfiguration1Click();
  EXPECT_NE(ReadFile(cfg).find("ScanType=0"), std::string::npos);

  w.BrowseAndIndex(SampleLog("zev-card", "scan-type.bin", 20));
  EXPECT_FALSE(group->isVisible());
  EXPECT_EQ(w.model.GetSettings().ScanTypeGroup, 0);
  w.BrowseAndIndex(SampleLog("brisel", "scan-type.blf", 20));
  EXPECT_TRUE(group->isVisible());
  EXPECT_TRUE(w.Find<QRadioButton>("ScanType1")->isChecked());

  QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
  w.files.openConfigs.push_back(QString::fromStdString(cfg));
  w.form->OpenConfiguration1Click();
  ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
  EXPECT_EQ(w.model.GetSettings().ScanTypeGroup, 0);
  EXPECT_TRUE(w.Find<QRadioButton>("ScanType0")->isChecked());
}

TEST(WindowFaces, FollowsTheDesktopStyleFontAndColourScheme) {
  EXPECT_EQ(QApplication::style()->name(), "fusion");
  {
    AppFontSize desktop(11);
    Window w;
    const QList<QWidget*> widgets = w.form->findChildren<QWidget*>();
    for (QWidget* widget : widgets)
      EXPECT_GE(widget->font().pointSizeF(), 11)
          << widget->objectName().toStdString() << " " << widget->metaObject()->className();
  }
  const QPalette light = QApplication::style()->standardPalette();
  const QPalette dark = DarkPalette();
  ASSERT_FALSE(IsDark(light));
  ASSERT_TRUE(IsDark(dark));
  const struct {
    ColorHints hints;
    ColorScheme expected;
  } cases[] = {
      {{ColorScheme::Dark, ColorScheme::Light, "", light}, ColorScheme::Dark},
      {{ColorScheme::Unknown, ColorScheme::Light, "", dark}, ColorScheme::Light},
      {{ColorScheme::Unknown, ColorScheme::Dark, "", light}, ColorScheme::Dark},
      {{ColorScheme::Unknown, ColorScheme::Unknown, "Adwaita:dark", light}, ColorScheme::Dark},
      {{ColorScheme::Unknown, ColorScheme::Unknown, "Arc-Dark", light}, ColorScheme::Dark},
      {{ColorScheme::Unknown, ColorScheme::Unknown, "", dark}, ColorScheme::Dark},
      {{ColorScheme::Unknown, ColorScheme::Unknown, "Adwaita", light}, ColorScheme::Light},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChooseColorScheme(c.hints), c.expected) << c.hints.gtkTheme.toStdString();
  EXPECT_TRUE(IsDark(PaletteFor(ColorScheme::Dark, light, light)));
  EXPECT_FALSE(IsDark(PaletteFor(ColorScheme::Light, dark, light)));
  QPalette platformDark = dark;
  platformDark.setColor(QPalette::Highlight, Qt::darkGreen);
  EXPECT_EQ(PaletteFor(ColorScheme::Dark, platformDark, light), platformDark);
}

}  // namespace
}  // namespace morphel::ui::test
