// The window's background runs: conversion with a segment left out, Cancel,
// a second "Convert Data" during a run, the gauge, average information, and
// the conversion compared with the command line in the desktop's locale.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <clocale>
#include <cstdlib>
#include <cstring>

#include "app/ConversionRun.h"
#include "cli/CommandLine.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "tests/TestSupport.h"
#include "tests/ui/GuiTestSupport.h"
#include "ui/Dialogs.h"

namespace morphel::ui::test {
namespace {

using morphel::test::ReadFile;
using morphel::test::TempPath;

TEST(WindowRuns, ConversionLeavesOutAnUncheckedSegment) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "segments.tlf", 60));
  ChooseDriveFields(w);
  const std::string out = TempPath("segments-window.out");
  SetOutput(w, out);
  QTreeWidgetItem* second = SegmentNode(w.Find<QTreeWidget>("tvIndex"), 1);
  ASSERT_NE(second, nullptr);
  second->setCheckState(0, Qt::Unchecked);
  w.ConvertAndWait();
  EXPECT_EQ(w.messages.Count("Conversion Has Been Completed!"), 1);

  const std::string window = ReadFile(out);
  EXPECT_EQ(window, DirectConversion(w, TempPath("segments-direct.out"), {1}));
  // The segment mattered: with it the output is longer.
  const std::string all = DirectConversion(w, TempPath("segments-all.out"), {});
  EXPECT_GT(all.size(), window.size());
  EXPECT_EQ(w.Find<QProgressBar>("ProgressBar")->value(), 100);
}

TEST(WindowRuns, GaugeFollowsTheConversion) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "gauge.tlf", 120));
  ChooseDriveFields(w);
  SetOutput(w, TempPath("gauge.out"));
  auto* gauge = w.Find<QProgressBar>("ProgressBar");
  QSignalSpy values(gauge, &QProgressBar::valueChanged);
  w.ConvertAndWait();
  ASSERT_GE(values.count(), 10);
  int last = -1;
  for (const QList<QVariant>& v : values) {
    EXPECT_GE(v[0].toInt(), last);
    last = v[0].toInt();
  }
  EXPECT_EQ(last, 100);
}

// The output is a pipe that the test opens only after Cancel, so the run is
// held at its start until the stop request is in place: it must end at the
// next block with the title line written, the file closed and the message
// still shown.
TEST(WindowRuns, CancelEndsTheRunAtTheNextBlock) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "cancel.tlf", 300));
  ChooseDriveFields(w);
  const std::string pipe = TempPath("cancel.pipe");
  ::unlink(pipe.c_str());  // left by an earlier repetition
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0) << std::strerror(errno);
  SetOutput(w, pipe);
  QSignalSpy converted(w.form.get(), &TMainForm::conversionFinished);
  w.Click("btnConvert");
  EXPECT_TRUE(w.form->Converting());
  w.Click("btnCancel");
  std::string cancelled;
  const int fd = ::open(pipe.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    cancelled.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  ASSERT_TRUE(converted.wait(kRunTimeoutMs));
  EXPECT_EQ(w.messages.Count("Conversion Has Been Completed!"), 1);

  const std::string full = DirectConversion(w, TempPath("cancel-full.out"), {});
  const size_t titleEnd = full.find("\r\n");
  ASSERT_NE(titleEnd, std::string::npos);
  EXPECT_EQ(cancelled, full.substr(0, titleEnd + 2));
  EXPECT_GT(full.size(), 100 * cancelled.size());
}

TEST(WindowRuns, SecondConvertWaitsForTheFirstRunToEnd) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "twice.tlf", 60));
  ChooseDriveFields(w);
  const std::string out = TempPath("twice.out");
  SetOutput(w, out);
  QSignalSpy converted(w.form.get(), &TMainForm::conversionFinished);
  w.Click("btnConvert");
  w.Click("btnConvert");  // asks the first run to stop; the second starts after it
  while (converted.count() < 2) ASSERT_TRUE(converted.wait(kRunTimeoutMs));
  EXPECT_EQ(w.messages.Count("Conversion Has Been Completed!"), 2);
  EXPECT_FALSE(w.form->Converting());
  EXPECT_EQ(ReadFile(out), DirectConversion(w, TempPath("twice-direct.out"), {}));
}

TEST(WindowRuns, ConvertIsHeldOffWhileTheLogIsIndexed) {
  Window w;
  QSignalSpy indexed(w.form.get(), &TMainForm::indexingFinished);
  w.files.inputs.push_back(QString::fromStdString(SampleLog("tolvan", "held.tlf", 60)));
  w.Click("InBrowse");
  EXPECT_TRUE(w.form->Indexing());
  EXPECT_FALSE(w.Find<QPushButton>("btnConvert")->isEnabled());
  ASSERT_TRUE(indexed.wait(kRunTimeoutMs));
  EXPECT_TRUE(w.Find<QPushButton>("btnConvert")->isEnabled());
}

TEST(WindowRuns, AverageInformationIsGatheredFromTheLog) {
  Window w;
  const std::string log = SampleLog("tolvan", "gather.tlf", 60);
  w.BrowseAndIndex(log);
  w.form->Generator1Click();
  TGeneratorDlg* dialog = w.form->GeneratorDialog();
  EXPECT_TRUE(dialog->isVisible());
  auto* percent = dialog->findChild<QLabel*>(QStringLiteral("PercentComplete"));
  ASSERT_NE(percent, nullptr);
  EXPECT_EQ(percent->text(), "0% Complete");
  QSignalSpy gathered(w.form.get(), &TMainForm::gatheringFinished);
  dialog->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
  ASSERT_TRUE(gathered.wait(kRunTimeoutMs));

  // The same counts as a gathering run made directly.
  std::unique_ptr<Product> reader = CreateReader(1);
  RecordingHooks hooks;
  GatherRun direct(*reader, w.model.Snapshot(), hooks);
  ASSERT_EQ(direct.Run(), GatherOutcome::Completed);
  std::vector<std::string> shown;
  for (const auto& m : w.messages.shown) shown.push_back(m.second.toStdString());
  EXPECT_EQ(shown, hooks.messages);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Information Has Been Gathered!");
  dialog->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
  EXPECT_FALSE(dialog->isVisible());
}

// Runs the window's equivalent command through the morphel binary in the C
// locale; the window, in whatever locale the test runs, must write the same
// bytes. Run once more by ctest under de_DE.UTF-8.
TEST(WindowRuns, ConversionMatchesCommandLine) {
  const char* locale = std::getenv("LC_ALL");
  if (locale && std::string(locale).rfind("de_DE", 0) == 0) {
    // The application object took the desktop locale: a decimal comma.
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  }
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "locale.tlf", 90));
  ChooseDriveFields(w);
  w.Find<QRadioButton>("LambdaAvg")->click();
  w.form->Lambda1Click();
  TLambdaDlg* lambda = w.form->LambdaDialog();
  lambda->findChild<QLineEdit*>(QStringLiteral("LambdaSpeed"))->setText(QStringLiteral("12.5"));
  lambda->findChild<QRadioButton*>(QStringLiteral("KMHchoice"))->click();
  lambda->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
  ASSERT_EQ(w.model.GetSettings().LambdaSpeed, "12.5");
  ASSERT_FALSE(w.model.GetSettings().MPHchoice);
  SegmentNode(w.Find<QTreeWidget>("tvIndex"), 2)->setCheckState(0, Qt::Unchecked);
  const std::string out = TempPath("locale.out");
  SetOutput(w, out);
  w.ConvertAndWait();
  const std::string window = ReadFile(out);
  ASSERT_GT(window.size(), 1000u);

  // The command writes the same output file again.
  const std::string command = w.Find<QLineEdit>("CommandLine")->text().toStdString();
  ASSERT_EQ(command.rfind("morphel ", 0), 0u) << command;
  ASSERT_EQ(std::remove(out.c_str()), 0);
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
  cli.setProcessEnvironment(env);
  const std::string script = std::string("exec ") + MORPHEL_BINARY + command.substr(7) + " -q";
  cli.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromStdString(script)});
  ASSERT_TRUE(cli.waitForFinished(kRunTimeoutMs));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString() << "\n" << script;
  EXPECT_EQ(ReadFile(out), window);
}

}  // namespace
}  // namespace morphel::ui::test
