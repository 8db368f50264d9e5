// The main window's widgets: start-up state, product selection by browsing,
// presets and field selection, the clock, the command line and saved set-ups.

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include "cli/CommandLine.h"
#include "index/IndexRun.h"
#include "products/FieldCatalog.h"
#include "tests/TestSupport.h"
#include "tests/ui/GuiTestSupport.h"
#include "ui/MorphelApplication.h"

namespace morphel::ui::test {
namespace {

TEST(MainForm, EveryNamedControlExists) {
  Window w;
  for (const char* name :
       {"InputFilename",    "InBrowse",         "OutputFilename", "OutBrowse",
        "cbSplit",          "sbHelp",           "Receiver1",      "Receiver2",
        "Receiver3",        "Receiver4",        "NoAvg",          "BSAvg",
        "RadioButton1",     "RadioButton2",     "btnThreshold",   "btnChannelList",
        "cbAT_None",        "rbORPS",           "ORPS_Value",     "rbORPM",
        "ORPM_Value",       "LambdaAvg",        "tvIndex",        "OutputFormatGroup",
        "AvailableBox",     "SelectedBox",      "FieldTitles",    "SelectField",
        "DeselectField",    "SelectAll",        "DeselectAll",    "DelimiterGroup",
        "OtherDelimiter",   "FrequencyField",   "ChannelField",   "RSSIField",
        "SATField",         "VMACField",        "btnConvert",     "btnCancel",
        "InputFormatLabel", "InputFormatGroup", "ScanTypeGroup",  "SkarnMode",
        "ProgressBar",      "olClock",          "CommandLine"})
    EXPECT_NE(w.form->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST(MainForm, StartsWithCaptionSizeAndDefaults) {
  Window w;
  EXPECT_EQ(w.form->windowTitle(), "QVR Morphel CW");
  EXPECT_EQ(w.form->size(),
            w.form->OpeningSize(QGuiApplication::primaryScreen()->availableGeometry()));
  EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "(None)");
  EXPECT_EQ(w.Find<QPushButton>("InBrowse")->text(), "Browse");
  EXPECT_EQ(w.Find<QCheckBox>("cbSplit")->text(), "Excel Split");
  EXPECT_EQ(w.Find<QCheckBox>("cbSplit")->toolTip(), "Split output file into 60000 record files");
  EXPECT_TRUE(w.Find<QCheckBox>("Receiver1")->isChecked());
  for (const char* r : {"Receiver2", "Receiver3", "Receiver4"})
    EXPECT_FALSE(w.Find<QCheckBox>(r)->isChecked()) << r;
  EXPECT_TRUE(w.Find<QRadioButton>("NoAvg")->isChecked());
  EXPECT_EQ(w.Find<QRadioButton>("NoAvg")->text(), "Convert All Data");
  EXPECT_TRUE(w.Find<QRadioButton>("cbAT_None")->isChecked());
  for (const char* off : {"RadioButton1", "RadioButton2", "btnThreshold", "btnChannelList"})
    EXPECT_FALSE(w.Find<QWidget>(off)->isEnabled()) << off;
  for (const char* hidden :
       {"rbORPS", "ORPS_Value", "rbORPM", "ORPM_Value", "InputFormatGroup", "SkarnMode"})
    EXPECT_TRUE(w.Find<QWidget>(hidden)->isHidden()) << hidden;
  EXPECT_EQ(w.Find<QLineEdit>("ORPS_Value")->text(), "1");
  EXPECT_EQ(w.Find<QLineEdit>("ORPM_Value")->text(), "100");
  EXPECT_FALSE(w.Find<QWidget>("LambdaAvg")->isHidden());
  EXPECT_EQ(w.Find<QComboBox>("OutputFormatGroup")->currentText(), "Custom ASCII Configuration");
  EXPECT_TRUE(w.Find<QCheckBox>("FieldTitles")->isChecked());
  EXPECT_TRUE(w.Find<QRadioButton>("Delimiter0")->isChecked());
  EXPECT_EQ(w.Find<QLineEdit>("OtherDelimiter")->text(), ":");
  EXPECT_EQ(w.Find<QLineEdit>("OtherDelimiter")->maxLength(), 1);
  EXPECT_TRUE(w.Find<QCheckBox>("FrequencyField")->isChecked());
  EXPECT_TRUE(w.Find<QCheckBox>("RSSIField")->isChecked());
  EXPECT_FALSE(w.Find<QCheckBox>("SATField")->isEnabled());
  EXPECT_FALSE(w.Find<QCheckBox>("VMACField")->isEnabled());
  EXPECT_EQ(w.Find<QLabel>("olClock")->text(), "HH:MM:SS");
  auto* gauge = w.Find<QProgressBar>("ProgressBar");
  EXPECT_EQ(gauge->minimum(), 0);
  EXPECT_EQ(gauge->maximum(), 100);
  EXPECT_EQ(gauge->parentWidget(), w.form->statusBar());
  // The Tolvan reader is current from the start.
  EXPECT_EQ(w.Find<QListWidget>("AvailableBox")->count(), w.model.CurrentReader()->AvailableCount);
  EXPECT_TRUE(w.Find<QLineEdit>("CommandLine")->isReadOnly());
}

TEST(MainForm, MenusCarryTheirItems) {
  Window w;
  std::vector<std::vector<std::string>> menus;
  for (QAction* top : w.form->menuBar()->actions()) {
    std::vector<std::string> items{top->text().toStdString()};
    for (QAction* a : top->menu()->actions())
      items.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    menus.push_back(items);
  }
  const std::vector<std::vector<std::string>> expected = {
      {"&Application", "Open Configuration", "Save Configuration", "-", "E&xit"},
      {"&Tools", "Generate Average Information...", "Data Reduction via Threshold...",
       "40 Lambda Averaging...", "-", "Drive Map..."},
      {"&Help", "Contents && Index", "-", "About"}};
  EXPECT_EQ(menus, expected);
}

TEST(MainForm, BrowsingATolvanLogSelectsItsProductAndIndexesIt) {
  Window w;
  const std::string log = SampleLog("tolvan", "browse.tlf", 60);
  w.BrowseAndIndex(log);
  EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "QVR Tolvan");
  EXPECT_EQ(w.Find<QLineEdit>("InputFilename")->text().toStdString(), log);
  EXPECT_EQ(w.Find<QLineEdit>("OutputFilename")->text().toStdString(),
            log.substr(0, log.size() - 4) + ".out");
  for (const char* r : {"Receiver1", "Receiver2", "Receiver3", "Receiver4"})
    EXPECT_TRUE(w.Find<QCheckBox>(r)->isEnabled()) << r;
  EXPECT_FALSE(w.Find<QWidget>("LambdaAvg")->isHidden());
  EXPECT_TRUE(w.Find<QWidget>("WaitDlg")->isHidden());

  // The tree holds what an indexing run of the same log finds.
  std::unique_ptr<Product> reader = CreateReader(1);
  Settings snapshot = w.model.Snapshot();
  RecordingHooks hooks;
  IndexRun run(*reader, snapshot, 1, hooks);
  std::vector<IndexedSegment> segments;
  run.segmentAdded = [&](const IndexedSegment& s) { segments.push_back(s); };
  ASSERT_EQ(run.Run(), IndexOutcome::Completed);
  ASSERT_GE(segments.size(), 3u);
  std::vector<std::pair<std::string, std::vector<std::string>>> expected;
  for (const TopLevelNode& node : TopLevelNodes(1)) {
    std::vector<std::string> children;
    for (const auto& s : segments)
      if (s.type == node.type) children.push_back(s.caption);
    expected.emplace_back(node.caption, children);
  }
  auto* tree = w.Find<QTreeWidget>("tvIndex");
  EXPECT_EQ(TreeCaptions(tree), expected);
  for (int t = 0; t < tree->topLevelItemCount(); ++t)
    EXPECT_FALSE(tree->topLevelItem(t)->flags() & Qt::ItemIsUserCheckable);
  for (const auto& s : segments)
    EXPECT_EQ(SegmentNode(tree, s.index)->checkState(0), Qt::Checked) << s.index;
}

TEST(MainForm, BrowsingAZevLogOffersOneReceiverAndItsCodes) {
  Window w;
  w.Find<QCheckBox>("Receiver2")->click();
  w.BrowseAndIndex(SampleLog("zev-card", "browse.bin", 40));
  EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "QVR Zev (PC CARD)");
  EXPECT_TRUE(w.Find<QCheckBox>("Receiver1")->isEnabled());
  for (const char* r : {"Receiver2", "Receiver3", "Receiver4"}) {
    EXPECT_FALSE(w.Find<QCheckBox>(r)->isEnabled()) << r;
    EXPECT_FALSE(w.Find<QCheckBox>(r)->isChecked()) << r;
  }
  EXPECT_FALSE(w.model.GetSettings().Receiver2);
  EXPECT_TRUE(w.Find<QCheckBox>("SATField")->isEnabled());
  EXPECT_TRUE(w.Find<QCheckBox>("VMACField")->isEnabled());
  EXPECT_TRUE(w.Find<QWidget>("LambdaAvg")->isHidden());
  EXPECT_EQ(Entries(w.Find<QListWidget>("AvailableBox")), w.model.GetSettings().AvailableBox);
  auto* tree = w.Find<QTreeWidget>("tvIndex");
  ASSERT_EQ(tree->topLevelItemCount(), 16);
  EXPECT_EQ(tree->topLevelItem(0)->text(0), "C/I Ratio");
  EXPECT_EQ(tree->topLevelItem(4)->text(0), "80 Channel");
  EXPECT_EQ(tree->topLevelItem(15)->text(0), "FLEX Paging");
  int children = 0;
  for (int t = 0; t < tree->topLevelItemCount(); ++t)
    children += tree->topLevelItem(t)->childCount();
  EXPECT_GT(children, 0);
}

TEST(MainForm, AForeignFileIsRefusedWithAWarning) {
  Window w;
  const std::string other = morphel::test::TempPath("notes.txt");
  morphel::test::WriteFile(other, std::string("just some text, no receiver log"));
  w.files.inputs.push_back(QString::fromStdString(other));
  w.Click("InBrowse");
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].first, MessageKind::Warning);
  EXPECT_EQ(w.messages.shown[0].second, "File is not from a QVR CW product.");
  EXPECT_TRUE(w.Find<QLineEdit>("InputFilename")->text().isEmpty());
  EXPECT_FALSE(w.form->Indexing());
}

TEST(MainForm, NativeFormatsLockTheSelectionAndOthersReleaseIt) {
  Window w;
  w.ChooseFormat(7);  // MSI Planet
  for (const char* b : {"SelectField", "DeselectField", "SelectAll", "DeselectAll"})
    EXPECT_FALSE(w.Find<QWidget>(b)->isEnabled()) << b;
  for (const char* g : {"DelimiterGroup", "FieldTitles", "OtherDelimiter"})
    EXPECT_TRUE(w.Find<QWidget>(g)->isHidden()) << g;
  EXPECT_TRUE(w.model.GetSettings().NativeFormat);

  w.ChooseFormat(5);  // Microsoft Excel
  for (const char* b : {"SelectField", "DeselectField", "SelectAll", "DeselectAll"})
    EXPECT_TRUE(w.Find<QWidget>(b)->isEnabled()) << b;
  EXPECT_FALSE(w.Find<QWidget>("DelimiterGroup")->isHidden());
  EXPECT_FALSE(w.Find<QWidget>("FieldTitles")->isHidden());
  EXPECT_TRUE(w.Find<QWidget>("OtherDelimiter")->isHidden());
  EXPECT_TRUE(w.Find<QCheckBox>("FieldTitles")->isChecked());
  EXPECT_TRUE(w.Find<QRadioButton>("Delimiter2")->isChecked());  // Tab
  const std::vector<std::string> excel = {"Longitude (Decimal Degrees)",
                                          "Latitude (Decimal Degrees)", "GPS Time (HH:MM:SS)"};
  EXPECT_EQ(Entries(w.Find<QListWidget>("SelectedBox")), excel);
  EXPECT_FALSE(w.model.GetSettings().NativeFormat);
}

TEST(MainForm, EdxPresetTurnsTheFieldDataToRssiOfReceiverOne) {
  Window w;
  w.Find<QCheckBox>("ChannelField")->click();
  w.Find<QCheckBox>("Receiver3")->click();
  w.ChooseFormat(1);  // EDX SignalPro
  EXPECT_FALSE(w.Find<QCheckBox>("FrequencyField")->isChecked());
  EXPECT_FALSE(w.Find<QCheckBox>("ChannelField")->isChecked());
  EXPECT_TRUE(w.Find<QCheckBox>("RSSIField")->isChecked());
  EXPECT_FALSE(w.Find<QCheckBox>("Receiver3")->isChecked());
  EXPECT_FALSE(w.Find<QCheckBox>("FieldTitles")->isChecked());
  EXPECT_EQ(w.Find<QListWidget>("SelectedBox")->count(), 3);
}

TEST(MainForm, FieldButtonsMoveEntriesAndKeepTheIdsParallel) {
  Window w;
  auto* selected = w.Find<QListWidget>("SelectedBox");
  const Product& reader = *w.model.CurrentReader();
  auto available = [&](int row) { return w.model.GetSettings().AvailableBox[size_t(row)]; };
  w.Highlight("AvailableBox", 0);
  w.Click("SelectField");
  w.Highlight("AvailableBox", 3);
  w.Click("SelectField");
  w.Highlight("AvailableBox", 6);
  w.Click("SelectField");
  EXPECT_EQ(Entries(selected),
            (std::vector<std::string>{available(0), available(3), available(6)}));
  EXPECT_EQ(w.model.SelectedIds()[1], reader.AvailableFieldIds[3]);

  // "<" on the first entry: the other two move up with their ids.
  w.Highlight("SelectedBox", 0);
  w.Click("DeselectField");
  EXPECT_EQ(Entries(selected), (std::vector<std::string>{available(3), available(6)}));
  EXPECT_EQ(w.model.SelectedIds()[0], reader.AvailableFieldIds[3]);
  EXPECT_EQ(w.model.SelectedIds()[1], reader.AvailableFieldIds[6]);
  for (int i = 0; i < selected->count(); ++i)
    EXPECT_EQ(selected->item(i)->text().toStdString(),
              std::string(FieldCatalog::Name(w.model.SelectedIds()[size_t(i)])));

  // ">>" appends every available field, also those already selected.
  w.Click("SelectAll");
  EXPECT_EQ(selected->count(), 2 + reader.AvailableCount);
  // "<<" empties the list.
  w.Click("DeselectAll");
  EXPECT_EQ(selected->count(), 0);
  EXPECT_EQ(w.model.SelectedIds()[0], Product::kNoFieldId);
  // ">" with nothing highlighted does nothing.
  w.Find<QListWidget>("AvailableBox")->setCurrentRow(-1);
  w.Click("SelectField");
  EXPECT_EQ(selected->count(), 0);
}

TEST(MainForm, EditsGoIntoTheSettings) {
  Window w;
  w.Find<QCheckBox>("Receiver2")->click();
  w.Find<QCheckBox>("cbSplit")->click();
  w.Find<QRadioButton>("BSAvg")->click();
  w.Find<QRadioButton>("LambdaAvg")->click();
  w.Find<QRadioButton>("Delimiter4")->click();
  auto* other = w.Find<QLineEdit>("OtherDelimiter");
  other->clear();
  other->insert(QStringLiteral("|"));  // as typed: textEdited follows
  emit other->textEdited(other->text());
  const Settings& s = w.model.GetSettings();
  EXPECT_TRUE(s.Receiver2);
  EXPECT_TRUE(s.cbSplit);
  EXPECT_TRUE(s.BSAvg);
  EXPECT_FALSE(s.NoAvg);
  EXPECT_TRUE(s.LambdaAvg);
  EXPECT_FALSE(s.cbAT_None);
  EXPECT_EQ(s.DelimiterGroup, 4);
  EXPECT_EQ(s.OtherDelimiter, "|");
}

TEST(MainForm, ExcelSplitHelpExplainsTheOption) {
  Window w;
  w.Click("sbHelp");
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].first, MessageKind::Information);
  EXPECT_EQ(w.messages.shown[0].second.toStdString(), MainModel::kSplitHelp);
}

TEST(MainForm, ClockTicksOnceASecondInTheLongTimeFormat) {
  Window w;
  auto* timer = w.form->findChild<QTimer*>(QStringLiteral("Timer"));
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 1000);
  EXPECT_TRUE(timer->isActive());
  QSignalSpy ticks(timer, &QTimer::timeout);
  ASSERT_TRUE(ticks.wait(5000));
  const QString shown = w.Find<QLabel>("olClock")->text();
  EXPECT_NE(shown, "HH:MM:SS");
  EXPECT_TRUE(shown.contains(QRegularExpression(QStringLiteral("\\d{1,2}.\\d{2}.\\d{2}"))))
      << shown.toStdString();
}

TEST(MainForm, CommandLineFollowsTheSetUp) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "command.tlf", 30));
  auto* command = w.Find<QLineEdit>("CommandLine");
  EXPECT_EQ(command->text().toStdString(), EquivalentCommandLine(w.model));
  EXPECT_TRUE(command->text().startsWith("morphel convert "));
  const QString before = command->text();
  w.Find<QCheckBox>("Receiver3")->click();
  EXPECT_NE(command->text(), before);
  EXPECT_EQ(command->text().toStdString(), EquivalentCommandLine(w.model));
  w.ChooseFormat(4);
  EXPECT_EQ(command->text().toStdString(), EquivalentCommandLine(w.model));
  // Leaving out a segment is part of the command too.
  const QString withAll = command->text();
  SegmentNode(w.Find<QTreeWidget>("tvIndex"), 0)->setCheckState(0, Qt::Unchecked);
  EXPECT_NE(command->text(), withAll);
  EXPECT_EQ(command->text().toStdString(), EquivalentCommandLine(w.model));
}

TEST(MainForm, TogglingASegmentNodeLeavesItOutAndTakesItBack) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "toggle.tlf", 30));
  const SegmentTable& table = w.model.CurrentReader()->SegmentNodes;
  QTreeWidgetItem* node = SegmentNode(w.Find<QTreeWidget>("tvIndex"), 1);
  ASSERT_NE(node, nullptr);
  node->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(table.State(1), SegmentTable::kUnchecked);
  EXPECT_EQ(table.State(0), SegmentTable::kChecked);
  node->setCheckState(0, Qt::Checked);
  EXPECT_EQ(table.State(1), SegmentTable::kChecked);
}

TEST(MainForm, SavedSetUpComesBack) {
  const std::string cfg = morphel::test::TempPath("window.cfg");
  const std::string log = SampleLog("tolvan", "config.tlf", 30);
  std::vector<std::string> savedSelection;
  {
    Window w;
    w.BrowseAndIndex(log);
    w.ChooseFormat(5);
    w.Find<QCheckBox>("Receiver4")->click();
    w.Find<QRadioButton>("BSAvg")->click();
    savedSelection = Entries(w.Find<QListWidget>("SelectedBox"));
    w.files.saveConfigs.push_back(QString::fromStdString(cfg));
    w.form->SaveConfiguration1Click();
    EXPECT_TRUE(w.messages.shown.empty());
  }
  Window w;
  QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
  w.files.openConfigs.push_back(QString::fromStdString(cfg));
  w.form->OpenConfiguration1Click();
  ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
  EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "QVR Tolvan");
  EXPECT_EQ(w.Find<QLineEdit>("InputFilename")->text().toStdString(), log);
  EXPECT_EQ(w.Find<QComboBox>("OutputFormatGroup")->currentText(), "Microsoft Excel");
  EXPECT_EQ(Entries(w.Find<QListWidget>("SelectedBox")), savedSelection);
  EXPECT_TRUE(w.Find<QCheckBox>("Receiver4")->isChecked());
  EXPECT_TRUE(w.Find<QRadioButton>("BSAvg")->isChecked());
  EXPECT_TRUE(w.Find<QRadioButton>("Delimiter2")->isChecked());
  EXPECT_GT(w.Find<QTreeWidget>("tvIndex")->topLevelItem(0)->childCount(), 0);
}

// An object whose event handler fails, as a faulty window handler would.
class FailingObject : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::User) throw std::runtime_error("Index out of range.");
    return QObject::event(e);
  }
};

TEST(MainForm, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn) {
  auto* app = qobject_cast<MorphelApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  std::vector<QString> shown;
  auto previous = app->showError;
  app->showError = [&](const QString& text) { shown.push_back(text); };
  FailingObject target;
  QEvent event(QEvent::User);
  QCoreApplication::sendEvent(&target, &event);
  app->showError = previous;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Index out of range.");
}

}  // namespace
}  // namespace morphel::ui::test
