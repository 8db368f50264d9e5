// The secondary windows: captions, texts, controls and defaults.

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBrowser>
#include <QTextDocument>

#include "tests/ui/GuiTestSupport.h"
#include "ui/Dialogs.h"

namespace morphel::ui::test {
namespace {

bool HasLabel(const QWidget* w, const QString& text) {
  for (const QLabel* label : w->findChildren<QLabel*>())
    if (label->text() == text) return true;
  return false;
}

QStringList ComboItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

TEST(Dialogs, AboutNamesTheEditionAndVersion) {
  Window w;
  TAboutDlg* about = w.form->AboutDialog();
  EXPECT_EQ(about->windowTitle(), "About Morphel");
  EXPECT_TRUE(HasLabel(about, "Morphel (CW Edition)"));
  EXPECT_TRUE(HasLabel(about, "Version 5.15"));
  QStringList groups;
  for (const QGroupBox* g : about->findChildren<QGroupBox*>()) groups << g->title();
  EXPECT_EQ(groups, (QStringList{"Trademarks", "Introduction"}));
  auto* ok = about->findChild<QPushButton*>(QStringLiteral("OKButton"));
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isDefault());
  w.form->About1Click();
  EXPECT_TRUE(about->isVisible());
  ok->click();
  EXPECT_FALSE(about->isVisible());
}

TEST(Dialogs, HelpWindowHoldsTheEightSections) {
  Window w;
  THelp_Form* help = w.form->HelpWindow();
  EXPECT_EQ(help->windowTitle(), "Morphel Help");
  EXPECT_EQ(help->size(), QSize(696, 480));
  const QStringList expected = {
      "Introduction",
      "Installation",
      "Running the Application",
      "Main Menu",
      "Step 1 - Select Input / Output",
      "Step 2 - Choose Formatting Options",
      "Step 3 - Select Data and Fields Which Are To Be In The Output File",
      "Step 4 - Convert The Input File"};
  EXPECT_EQ(THelp_Form::SectionHeadings(), expected);
  const QString text = help->findChild<QTextBrowser*>()->toPlainText();
  qsizetype at = 0;
  for (const QString& heading : expected) {
    at = text.indexOf(heading + QLatin1Char('\n'), at);
    EXPECT_GE(at, 0) << heading.toStdString();
  }
  // Shown without blocking the main window; OK closes it.
  w.form->ContentsIndex1Click();
  EXPECT_TRUE(help->isVisible());
  EXPECT_FALSE(help->isModal());
  help->findChild<QPushButton*>(QStringLiteral("btnOK"))->click();
  EXPECT_FALSE(help->isVisible());
}

TEST(Dialogs, LambdaDialogStartsAtThirtyMph) {
  Window w;
  TLambdaDlg* lambda = w.form->LambdaDialog();
  EXPECT_EQ(lambda->windowTitle(), "40 Lambda Averaging");
  EXPECT_TRUE(HasLabel(lambda,
                       "Enter the average speed of the vehicle for the drive study.  The "
                       "resulting data will provide a single averaged point for every 40 "
                       "wavelengths of driving distance."));
  EXPECT_EQ(lambda->findChild<QLineEdit*>(QStringLiteral("LambdaSpeed"))->text(), "30");
  EXPECT_TRUE(lambda->findChild<QRadioButton*>(QStringLiteral("MPHchoice"))->isChecked());
  EXPECT_EQ(lambda->findChild<QRadioButton*>(QStringLiteral("KMHchoice"))->text(), "KM / H");
  EXPECT_EQ(w.model.GetSettings().LambdaSpeed, "30");
  EXPECT_TRUE(w.model.GetSettings().MPHchoice);
}

TEST(Dialogs, GeneratorDialogTextsAndButtons) {
  Window w;
  TGeneratorDlg* generator = w.form->GeneratorDialog();
  EXPECT_EQ(generator->windowTitle(), "Generate Average Information");
  EXPECT_TRUE(HasLabel(generator,
                       "Morphel will now generate the necessary average information which is "
                       "needed for performing the conversion using the selected filter. This may "
                       "take a few minutes."));
  EXPECT_EQ(generator->findChild<QLabel*>(QStringLiteral("PercentComplete"))->text(),
            "0% Complete");
  auto* ok = generator->findChild<QPushButton*>(QStringLiteral("OKBtn"));
  EXPECT_EQ(ok->text(), "Generate");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(generator->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->text(), "Exit");
  auto* bar = generator->findChild<QProgressBar*>(QStringLiteral("ProgressBar"));
  EXPECT_EQ(bar->maximum(), 100);
  generator->SetProgress(42);
  EXPECT_EQ(generator->findChild<QLabel*>(QStringLiteral("PercentComplete"))->text(),
            "42% Complete");
}

TEST(Dialogs, ThresholdDialogDefaults) {
  Window w;
  TThresholdDlg* threshold = w.form->ThresholdDialog();
  EXPECT_EQ(threshold->windowTitle(), "Data Reduction via Threshold");
  auto* field = threshold->findChild<QComboBox*>(QStringLiteral("comboField"));
  auto* comparator = threshold->findChild<QComboBox*>(QStringLiteral("comboComparator"));
  EXPECT_EQ(ComboItems(field), (QStringList{"RSSI", "Velocity"}));
  EXPECT_EQ(ComboItems(comparator), (QStringList{">", ">=", "=", "<=", "<"}));
  EXPECT_EQ(threshold->Field(), "RSSI");
  EXPECT_EQ(threshold->Comparator(), ">");
  EXPECT_EQ(threshold->Value(), "-100");
  w.form->Threshold1Click();
  EXPECT_TRUE(threshold->isVisible());
  threshold->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
  EXPECT_FALSE(threshold->isVisible());
}

TEST(Dialogs, WaitWindowTellsTheUserToWait) {
  Window w;
  TWaitDlg* wait = w.form->WaitDialog();
  EXPECT_EQ(wait->windowTitle(), "Wait");
  EXPECT_TRUE(HasLabel(wait, "Please Wait While the File is Indexed!"));
  EXPECT_EQ(wait->findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->maximum(), 100);
}

TEST(Dialogs, FilterPairsBecomeQtFilters) {
  EXPECT_EQ(QtFilterFromPairs("Tolvan Log File |*.tlf|Velmar Log File|*.vlf"),
            "Tolvan Log File (*.tlf);;Velmar Log File (*.vlf)");
  EXPECT_EQ(QtFilterFromPairs("Configuration Files (*.cfg)|*.cfg"), "Configuration Files (*.cfg)");
}

}  // namespace
}  // namespace morphel::ui::test
