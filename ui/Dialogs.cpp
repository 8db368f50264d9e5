#include "ui/Dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "index/GatherRun.h"
#include "ui/HelpText.h"
#include "ui/Look.h"

namespace morphel::ui {

namespace {

constexpr int kHelpWidth = 696;
constexpr int kHelpHeight = 480;
constexpr int kIconSize = 48;
constexpr int kPercentMax = 100;

QLabel* WrappedText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

QPushButton* DefaultButton(const QString& caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setDefault(true);
  button->setAutoDefault(true);
  return button;
}

// Filled in the palette's highlight colour, with its percentage readable.
QProgressBar* Gauge(const char* name, QWidget* parent) {
  auto* bar = new ReadableGauge(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(0, kPercentMax);
  bar->setValue(0);
  return bar;
}

// A dialog that keeps the size its contents need.
void FixSize(QDialog* dialog) {
  dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutDlg"));
  setWindowTitle(QStringLiteral("About Morphel"));
  auto* layout = new QVBoxLayout(this);

  auto* head = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(kIconSize, kIconSize));
  head->addWidget(icon);
  auto* titles = new QVBoxLayout;
  auto* title = new QLabel(QStringLiteral("Morphel (CW Edition)"), this);
  title->setObjectName(QStringLiteral("ProductName"));
  QFont big = title->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.4);
  title->setFont(big);
  titles->addWidget(title);
  auto* version = new QLabel(QStringLiteral("Version 5.15"), this);
  version->setObjectName(QStringLiteral("Version"));
  titles->addWidget(version);
  auto* rights = new QLabel(
      QStringLiteral("Copyright (C) QVR. All rights reserved. Copying or distributing this "
                     "program without permission is prohibited."),
      this);
  rights->setObjectName(QStringLiteral("Copyright"));
  rights->setWordWrap(true);
  titles->addWidget(rights);
  head->addLayout(titles, 1);
  layout->addLayout(head);

  auto* trademarks = new QGroupBox(QStringLiteral("Trademarks"), this);
  trademarks->setObjectName(QStringLiteral("Trademarks"));
  auto* tmLayout = new QVBoxLayout(trademarks);
  tmLayout->addWidget(WrappedText(
      QStringLiteral("The names of the post-processing tools and other products mentioned in "
                     "this program are trademarks or registered trademarks of their owners. "
                     "Their use here does not imply any endorsement."),
      trademarks));
  layout->addWidget(trademarks);

  auto* intro = new QGroupBox(QStringLiteral("Introduction"), this);
  intro->setObjectName(QStringLiteral("Introduction"));
  auto* introLayout = new QVBoxLayout(intro);
  introLayout->addWidget(WrappedText(
      QStringLiteral("Morphel converts the binary drive-test logs of the QVR scanning receivers "
                     "into the files that radio planning and post-processing tools read. It "
                     "recognises the receiver that wrote a log, lets you choose receivers, fields "
                     "and data reduction, and writes delimited text or the tool's own layout."),
      intro));
  layout->addWidget(intro);

  auto* ok = DefaultButton(QStringLiteral("OK"), "OKButton", this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  setMinimumWidth(420);
  FixSize(this);
}

THelp_Form::THelp_Form(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Help_Form"));
  setWindowTitle(QStringLiteral("Morphel Help"));
  resize(kHelpWidth, kHelpHeight);
  auto* layout = new QVBoxLayout(this);
  manual_ = new QTextBrowser(this);
  manual_->setObjectName(QStringLiteral("RichEdit1"));
  manual_->setHtml(HelpManualHtml());
  layout->addWidget(manual_, 1);
  auto* ok = DefaultButton(QStringLiteral("OK"), "btnOK", this);
  connect(ok, &QPushButton::clicked, this, &THelp_Form::btnOKClick);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

QStringList THelp_Form::SectionHeadings() {
  return HelpSectionHeadings();
}

TLambdaDlg::TLambdaDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LambdaDlg"));
  setWindowTitle(QStringLiteral("40 Lambda Averaging"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(WrappedText(
      QStringLiteral("Enter the average speed of the vehicle for the drive study.  The resulting "
                     "data will provide a single averaged point for every 40 wavelengths of "
                     "driving distance."),
      this));
  auto* speedRow = new QHBoxLayout;
  speedRow->addWidget(new QLabel(QStringLiteral("Average Speed"), this));
  LambdaSpeed = new QLineEdit(QStringLiteral("30"), this);
  LambdaSpeed->setObjectName(QStringLiteral("LambdaSpeed"));
  speedRow->addWidget(LambdaSpeed);
  MPHchoice = new QRadioButton(QStringLiteral("MPH"), this);
  MPHchoice->setObjectName(QStringLiteral("MPHchoice"));
  MPHchoice->setChecked(true);
  KMHchoice = new QRadioButton(QStringLiteral("KM / H"), this);
  KMHchoice->setObjectName(QStringLiteral("KMHchoice"));
  speedRow->addWidget(MPHchoice);
  speedRow->addWidget(KMHchoice);
  layout->addLayout(speedRow);
  auto* ok = DefaultButton(QStringLiteral("OK"), "OKBtn", this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignHCenter);
  setMinimumWidth(360);
  FixSize(this);
}

void TLambdaDlg::Load(const Settings& settings) {
  LambdaSpeed->setText(QString::fromStdString(settings.LambdaSpeed));
  (settings.MPHchoice ? MPHchoice : KMHchoice)->setChecked(true);
}

void TLambdaDlg::Store(Settings& settings) const {
  settings.LambdaSpeed = LambdaSpeed->text().toStdString();
  settings.MPHchoice = MPHchoice->isChecked();
}

TWaitDlg::TWaitDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("WaitDlg"));
  setWindowTitle(QStringLiteral("Wait"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Please Wait While the File is Indexed!"), this));
  ProgressBar = Gauge("ProgressBar", this);
  layout->addWidget(ProgressBar);
  setMinimumWidth(300);
  FixSize(this);
}

void TWaitDlg::SetProgress(int percent) {
  ProgressBar->setValue(percent);
}

TGeneratorDlg::TGeneratorDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("GeneratorDlg"));
  setWindowTitle(QStringLiteral("Generate Average Information"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(WrappedText(
      QStringLiteral("Morphel will now generate the necessary average information which is needed "
                     "for performing the conversion using the selected filter. This may take a "
                     "few minutes."),
      this));
  PercentComplete = new QLabel(QString::fromStdString(GatherRun::PercentText(0)), this);
  PercentComplete->setObjectName(QStringLiteral("PercentComplete"));
  layout->addWidget(PercentComplete);
  ProgressBar = Gauge("ProgressBar", this);
  layout->addWidget(ProgressBar);
  auto* buttons = new QHBoxLayout;
  OKBtn = DefaultButton(QStringLiteral("Generate"), "OKBtn", this);
  CancelBtn = new QPushButton(QStringLiteral("Exit"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setAutoDefault(false);
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);
  connect(OKBtn, &QPushButton::clicked, this, &TGeneratorDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TGeneratorDlg::CancelBtnClick);
  // Escape is the cancel button.
  connect(this, &QDialog::rejected, this, &TGeneratorDlg::exitRequested);
  setMinimumWidth(380);
  FixSize(this);
}

void TGeneratorDlg::OKBtnClick() {
  emit generateRequested();
}

void TGeneratorDlg::CancelBtnClick() {
  reject();
}

void TGeneratorDlg::SetProgress(int percent) {
  ProgressBar->setValue(percent);
  PercentComplete->setText(QString::fromStdString(GatherRun::PercentText(percent)));
}

void TGeneratorDlg::SetGenerateEnabled(bool enabled) {
  OKBtn->setEnabled(enabled);
}

TThresholdDlg::TThresholdDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ThresholdDlg"));
  setWindowTitle(QStringLiteral("Data Reduction via Threshold"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(WrappedText(
      QStringLiteral("Please choose a field-value combination for eliminating data records which "
                     "do not meet the criteria selected below. (e.g. RSSI > -90 dBm)"),
      this));
  auto* row = new QHBoxLayout;
  comboField = new QComboBox(this);
  comboField->setObjectName(QStringLiteral("comboField"));
  comboField->addItems({QStringLiteral("RSSI"), QStringLiteral("Velocity")});
  comboComparator = new QComboBox(this);
  comboComparator->setObjectName(QStringLiteral("comboComparator"));
  comboComparator->addItems({QStringLiteral(">"), QStringLiteral(">="), QStringLiteral("="),
                             QStringLiteral("<="), QStringLiteral("<")});
  edValue = new QLineEdit(QStringLiteral("-100"), this);
  edValue->setObjectName(QStringLiteral("edValue"));
  row->addWidget(comboField);
  row->addWidget(comboComparator);
  row->addWidget(edValue);
  layout->addLayout(row);
  OKBtn = DefaultButton(QStringLiteral("OK"), "OKBtn", this);
  connect(OKBtn, &QPushButton::clicked, this, &TThresholdDlg::OKBtnClick);
  layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
  setMinimumWidth(380);
  FixSize(this);
}

QString TThresholdDlg::Field() const {
  return comboField->currentText();
}
QString TThresholdDlg::Comparator() const {
  return comboComparator->currentText();
}
QString TThresholdDlg::Value() const {
  return edValue->text();
}

}  // namespace morphel::ui
