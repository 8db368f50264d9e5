// The window tells the truth about how a run ended: a typed log gets its own
// reader, nothing is opened without fields or without a log, an empty
// result and a damaged log are named after the run's own message, and a
// cancelled run keeps its gauge where it stopped.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/ConversionRun.h"
#include "index/IndexRun.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "tests/TestSupport.h"
#include "tests/ui/GuiTestSupport.h"
#include "ui/RunReports.h"

namespace morphel::ui::test {
namespace {

using morphel::test::ReadFile;
using morphel::test::TempPath;
using morphel::test::WriteFile;

const QString kCompleted = QString::fromLatin1(ConversionRun::kCompleted);

// Types into the Input box key by key, as a user does.
void TypeInput(Window& w, const std::string& path) {
  auto* input = w.Find<QLineEdit>("InputFilename");
  input->selectAll();
  QTest::keyClick(input, Qt::Key_Backspace);
  QTest::keyClicks(input, QString::fromStdString(path));
}

std::vector<QString> Warnings(const Window& w) {
  std::vector<QString> texts;
  for (const auto& [kind, text] : w.messages.shown)
    if (kind == MessageKind::Warning) texts.push_back(text);
  return texts;
}

// A Tolvan log with a few stray bytes after its last record, as a log cut
// off by a full card leaves them.
std::string DamagedLog() {
  const std::string path = TempPath("damaged.tlf");
  WriteFile(path, ReadFile(SampleLog("tolvan", "damaged-clean.tlf", 20)) +
                      std::string("\xff\xff\xff\xff\x01\x02\x03", 7));
  return path;
}

// What a reader of the log's product finds wrong with it while indexing.
DamageCounts DirectDamage(const Window& w) {
  std::unique_ptr<Product> reader = CreateReader(w.model.GetSettings().InputFormatGroup);
  RecordingHooks hooks;
  IndexRun run(*reader, w.model.Snapshot(), w.model.GetSettings().InputFormatGroup, hooks);
  EXPECT_EQ(run.Run(), IndexOutcome::Completed);
  return reader->Damage;
}

TEST(HonestOutcomes, TypedPathIsRecognisedAndIndexedWhenTheEditingEnds) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "typed-old.tlf", 30));
  const std::string newer = SampleLog("tolvan-new", "typed-new.tlf", 30);
  QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
  TypeInput(w, newer);
  EXPECT_TRUE(indexed.isEmpty());  // nothing happens while the user types
  QTest::keyClick(w.Find<QLineEdit>("InputFilename"), Qt::Key_Return);
  if (indexed.isEmpty()) {
    ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
  }

  EXPECT_EQ(w.Find<QLabel>("InputFormatLabel")->text(), "QVR Tolvan (>=fv1.27)");
  EXPECT_EQ(w.model.GetSettings().InputFormatGroup, kItemTolvanNew);
  EXPECT_EQ(w.model.GetSettings().OutputFilename, MainModel::DefaultOutputName(newer));
  EXPECT_EQ(w.Find<QLineEdit>("OutputFilename")->text().toStdString(),
            MainModel::DefaultOutputName(newer));
  int segments = 0;
  auto* tree = w.Find<QTreeWidget>("tvIndex");
  for (int t = 0; t < tree->topLevelItemCount(); ++t)
    segments += tree->topLevelItem(t)->childCount();
  EXPECT_GT(segments, 0);
  EXPECT_TRUE(StatusLineOf(w).startsWith("typed-new.tlf indexed")) << StatusLineOf(w).toStdString();
}

// Today's fault: with an older Tolvan log loaded, a typed Tolvan (firmware
// 1.27 and later) log was converted by the old reader over the earlier output.
TEST(HonestOutcomes, ConvertRightAfterTypingConvertsTheTypedLogWithItsReader) {
  Window w;
  const std::string old = SampleLog("tolvan", "typed-old.tlf", 30);
  w.BrowseAndIndex(old);
  ChooseDriveFields(w);
  w.ConvertAndWait();
  const std::string earlier = ReadFile(MainModel::DefaultOutputName(old));
  ASSERT_GT(earlier.size(), 1000u);

  const std::string newer = SampleLog("tolvan-new", "typed-new.tlf", 30);
  TypeInput(w, newer);
  QSignalSpy converted(w.form.get(), &TMainForm::conversionFinished);
  w.Click("btnConvert");  // indexes the typed log first, then converts it
  ASSERT_TRUE(converted.wait(kRunTimeoutMs));
  EXPECT_EQ(w.model.GetSettings().InputFormatGroup, kItemTolvanNew);
  const std::string output = ReadFile(MainModel::DefaultOutputName(newer));
  EXPECT_GT(output.size(), 1000u);
  EXPECT_EQ(output, DirectConversion(w, TempPath("typed-direct.out"), {}));
  EXPECT_EQ(ReadFile(MainModel::DefaultOutputName(old)), earlier);
  EXPECT_EQ(w.messages.Count(kCompleted), 2);
}

TEST(HonestOutcomes, ATypedPathThatIsNoLogIsRefusedAndNeverConverted) {
  const std::string notes = TempPath("typed-notes.txt");
  WriteFile(notes, std::string("a shopping list, not a receiver log"));
  const struct {
    std::string path;
    MessageKind kind;
    QString message;
  } cases[] = {
      {notes, MessageKind::Warning, QString::fromLatin1(MainModel::kNotOurProduct)},
      {TempPath("typed-missing.tlf"), MessageKind::Error,
       QStringLiteral("Input File Does Not Exist!\n\n") +
           QString::fromStdString(TempPath("typed-missing.tlf"))},
  };
  for (const auto& c : cases) {
    Window w;
    const std::string log = SampleLog("tolvan", "typed-old.tlf", 30);
    w.BrowseAndIndex(log);
    ChooseDriveFields(w);
    TypeInput(w, c.path);
    QTest::keyClick(w.Find<QLineEdit>("InputFilename"), Qt::Key_Return);
    ASSERT_EQ(w.messages.shown.size(), 1u) << c.path;
    EXPECT_EQ(w.messages.shown[0].first, c.kind) << c.path;
    EXPECT_EQ(w.messages.shown[0].second, c.message) << c.path;
    // Return again examines nothing new; Convert asks once more and does not run.
    QTest::keyClick(w.Find<QLineEdit>("InputFilename"), Qt::Key_Return);
    EXPECT_EQ(w.messages.shown.size(), 1u) << c.path;
    w.Click("btnConvert");
    EXPECT_FALSE(w.form->Converting()) << c.path;
    EXPECT_FALSE(w.form->Indexing()) << c.path;
    ASSERT_EQ(w.messages.shown.size(), 2u) << c.path;
    EXPECT_EQ(w.messages.shown[1].second, c.message) << c.path;
    EXPECT_EQ(w.messages.Count(kCompleted), 0) << c.path;
  }
}

// Today's fault: "Comarco Workbench" empties the selection and Convert then
// replaced a large output with a 2-byte file.
TEST(HonestOutcomes, ConvertWithNothingSelectedWarnsAndOpensNoFile) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "empty-selection.tlf", 30));
  w.ChooseFormat(0);  // Comarco Workbench: its preset selects no field
  ASSERT_EQ(w.model.GetSettings().SelectedBox.size(), 0u);
  const std::string out = TempPath("empty-selection.out");
  WriteFile(out, std::string("an earlier conversion worth keeping\r\n"));
  SetOutput(w, out);
  w.ConvertAndWait();
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].first, MessageKind::Warning);
  EXPECT_EQ(w.messages.shown[0].second.toStdString(), ConversionRun::kNoFieldSelected);
  EXPECT_EQ(ReadFile(out), "an earlier conversion worth keeping\r\n");
  EXPECT_EQ(StatusLineOf(w).toStdString(),
            std::string("Nothing converted: ") + ConversionRun::kNoFieldSelected);
}

TEST(HonestOutcomes, ARunErrorNamesThePathAndTheSystemsReason) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "run-error.tlf", 20));
  ChooseDriveFields(w);
  const std::string folder = TempPath("run-error-folder");
  std::filesystem::create_directories(folder);
  SetOutput(w, folder);  // a folder cannot be written as a file
  w.ConvertAndWait();
  // The system's reason in the desktop's language.
  const std::string reason = folder + ": " + std::strerror(EISDIR);
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].first, MessageKind::Error);
  EXPECT_EQ(w.messages.shown[0].second.toStdString(),
            std::string(ConversionRun::kOutputFailed) + "\n\n" + reason);
  EXPECT_EQ(StatusLineOf(w).toStdString(), std::string("Conversion failed: ") +
                                               ConversionRun::kOutputFailed + " (" + reason + ")");
}

TEST(HonestOutcomes, ConvertBeforeAnyLogAsksForOne) {
  Window w;
  w.Click("btnConvert");
  EXPECT_FALSE(w.form->Converting());
  ASSERT_EQ(w.messages.shown.size(), 1u);
  EXPECT_EQ(w.messages.shown[0].first, MessageKind::Warning);
  EXPECT_EQ(w.messages.shown[0].second, "Choose an input log first.");
}

// The counts the command line prints reach the window's user too: after
// indexing, and after the run's own message when converting.
TEST(HonestOutcomes, DamageIsReportedAfterIndexingAndAfterConverting) {
  Window w;
  w.BrowseAndIndex(DamagedLog());
  const DamageCounts damage = DirectDamage(w);
  ASSERT_TRUE(damage.Any());
  const QString counts = DamageText(damage);
  EXPECT_TRUE(counts.contains("skipped while resynchronising between records"))
      << counts.toStdString();
  ASSERT_EQ(Warnings(w).size(), 1u);
  EXPECT_EQ(Warnings(w)[0], "Damage found while indexing damaged.tlf: " + counts + ".");
  EXPECT_TRUE(StatusLineOf(w).endsWith(" Damaged log: " + counts + "."));

  ChooseDriveFields(w);
  SetOutput(w, TempPath("damaged.out"));
  w.messages.shown.clear();
  w.ConvertAndWait();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[0].second, kCompleted);  // the run's own message first
  EXPECT_EQ(w.messages.shown[1].first, MessageKind::Warning);
  EXPECT_EQ(w.messages.shown[1].second,
            "Damage found while converting: " + counts + ". The output holds what could be read.");
  EXPECT_TRUE(StatusLineOf(w).startsWith("Converted: ")) << StatusLineOf(w).toStdString();
  EXPECT_TRUE(StatusLineOf(w).endsWith(" Damaged log: " + counts + "."));

  // A clean log says nothing of the kind.
  Window clean;
  clean.BrowseAndIndex(SampleLog("tolvan", "damaged-clean.tlf", 20));
  ChooseDriveFields(clean);
  SetOutput(clean, TempPath("clean.out"));
  clean.ConvertAndWait();
  EXPECT_TRUE(Warnings(clean).empty());
  EXPECT_FALSE(StatusLineOf(clean).contains("Damaged"));
}

TEST(HonestOutcomes, AnEmptyResultIsShownWithItsLikelyReason) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "all-left-out.tlf", 30));
  ChooseDriveFields(w);
  const std::string out = TempPath("all-left-out.out");
  SetOutput(w, out);
  auto* tree = w.Find<QTreeWidget>("tvIndex");
  for (int t = 0; t < tree->topLevelItemCount(); ++t)
    for (int c = 0; c < tree->topLevelItem(t)->childCount(); ++c)
      tree->topLevelItem(t)->child(c)->setCheckState(0, Qt::Unchecked);
  w.ConvertAndWait();
  ASSERT_EQ(w.messages.shown.size(), 2u);
  EXPECT_EQ(w.messages.shown[0].second, kCompleted);
  EXPECT_EQ(w.messages.shown[1].first, MessageKind::Warning);
  EXPECT_EQ(w.messages.shown[1].second,
            "No data record was written: every segment of the log is left out.");
  EXPECT_EQ(StatusLineOf(w), "Converted, but no data record was written to all-left-out.out.");
}

// The output is a pipe that the test does not read until it has pressed
// Cancel: the run fills its buffer and waits in the middle of the log, so
// the stop request always arrives part-way.
TEST(HonestOutcomes, CancelLeavesTheGaugeWhereTheRunStopped) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "cancel.tlf", 300));
  // Long rows: every field and every receiver's readings.
  for (const char* box : {"Receiver2", "Receiver3", "Receiver4", "ChannelField"})
    w.Find<QCheckBox>(box)->click();
  w.ChooseFormat(11);
  w.Click("SelectAll");
  const std::string pipe = TempPath("cancel-gauge.pipe");
  ::unlink(pipe.c_str());
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << std::strerror(errno);
  SetOutput(w, pipe);

  auto* gauge = w.Find<QProgressBar>("ProgressBar");
  QSignalSpy converted(w.form.get(), &TMainForm::conversionFinished);
  w.Click("btnConvert");
  EXPECT_EQ(StatusLineOf(w), "Converting cancel.tlf to cancel-gauge.pipe...");
  const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  QDeadlineTimer deadline(kRunTimeoutMs);
  while (gauge->value() < 10 && !deadline.hasExpired()) converted.wait(10);
  ASSERT_TRUE(converted.isEmpty()) << "the run ended without the test reading its output";
  w.Click("btnCancel");
  char buffer[65536];
  while (converted.isEmpty() && !deadline.hasExpired()) {
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
    converted.wait(10);
  }
  ::close(fd);
  ASSERT_FALSE(converted.isEmpty());

  EXPECT_EQ(w.messages.Count(kCompleted), 1);  // the run's own message stays
  const int stopped = gauge->value();
  EXPECT_GT(stopped, 0);
  EXPECT_LT(stopped, 100);
  const QRegularExpression line(QStringLiteral(
      "^Conversion cancelled at (\\d+)%: \\d+ records written to cancel-gauge.pipe.$"));
  const auto match = line.match(StatusLineOf(w));
  ASSERT_TRUE(match.hasMatch()) << StatusLineOf(w).toStdString();
  EXPECT_EQ(match.captured(1).toInt(), stopped);
  EXPECT_TRUE(Warnings(w).empty());
}

}  // namespace
}  // namespace morphel::ui::test
