#include "ui/TMainForm.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "index/IndexRun.h"
#include "products/FieldCatalog.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "ui/Dialogs.h"
#include "ui/DriveMap.h"
#include "ui/Look.h"
#include "ui/WindowState.h"
#include "ui/Workers.h"

namespace morphel::ui {

namespace {

constexpr int kGaugeMinWidth = 160;
constexpr int kClockMinWidth = 100;
constexpr int kClockPadding = 16;
constexpr int kClockIntervalMs = 1000;
constexpr int kPercentMax = 100;
constexpr int kMargin = 3;
constexpr int kSpacing = 2;
constexpr double kStepNumberScale = 2.0;  // the step digits against the desktop's font
constexpr int kFieldListMinWidth = 110;
constexpr int kFieldButtonWidth = 32;
constexpr int kFormatListChars = 14;
// Room left for the window frame and title bar when the opening size is
// fitted to the screen (the frame is not known before the window is shown).
constexpr int kFrameAllowance = 16;
constexpr int kTitleAllowance = 48;

QString Text(const char* text) {
  return QString::fromLatin1(text);
}

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(Text(name));
  return widget;
}

void Tighten(QLayout* layout) {
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(kSpacing);
}

// One numbered step: the number large at the left, the heading above the
// step's controls.
QWidget* StepPanel(int number, const char* heading, QWidget* content, QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QStringLiteral("Step%1").arg(number));
  panel->setFrameShape(QFrame::StyledPanel);
  auto* row = new QHBoxLayout(panel);
  Tighten(row);
  auto* digit = new QLabel(QString::number(number), panel);
  QFont big = digit->font();
  big.setPointSizeF(big.pointSizeF() * kStepNumberScale);
  big.setBold(true);
  digit->setFont(big);
  // The palette's accent that reads on light and dark backgrounds alike.
  digit->setForegroundRole(QPalette::Link);
  digit->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  row->addWidget(digit);
  auto* column = new QVBoxLayout;
  column->setSpacing(kSpacing);
  auto* title = new QLabel(Text(heading), panel);
  title->setObjectName(QStringLiteral("Step%1Heading").arg(number));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  // A long heading wraps rather than widening the window.
  title->setWordWrap(true);
  title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  column->addWidget(title);
  column->addWidget(content, 1);
  row->addLayout(column, 1);
  return panel;
}

QGroupBox* Group(const char* name, const char* caption, QWidget* parent) {
  return Named(new QGroupBox(Text(caption), parent), name);
}

// A field list that asks for the width of the longest field name, so the
// window opens with every name readable; it can still be made narrower.
class FieldList : public QListWidget {
 public:
  using QListWidget::QListWidget;
  QSize sizeHint() const override {
    QSize hint = QListWidget::sizeHint();
    int widest = 0;
    for (int id = 0; id < FieldCatalog::kFieldCount; ++id) {
      const std::string_view name = FieldCatalog::Name(id);
      widest = std::max(widest, fontMetrics().horizontalAdvance(QString::fromLatin1(
                                    name.data(), static_cast<qsizetype>(name.size()))));
    }
    const int itemMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    hint.setWidth(widest + 2 * itemMargin + 2 * frameWidth() +
                  verticalScrollBar()->sizeHint().width() + fontMetrics().averageCharWidth());
    return hint;
  }
};

}  // namespace

// The status bar's line: elided to the room it has, whole in its tooltip, and
// never widening the window.
class StatusLine : public QLabel {
 public:
  explicit StatusLine(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  }
  void SetLine(const QString& text) {
    line_ = text;
    setToolTip(text);
    Elide();
  }
  const QString& Line() const { return line_; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    Elide();
  }

 private:
  void Elide() { setText(fontMetrics().elidedText(line_, Qt::ElideRight, width())); }
  QString line_;
};

TMainForm::TMainForm(MainModel& model, FileDialogs& files, MessageBoxes& messages, QWidget* parent)
    : QMainWindow(parent), model_(model), files_(files), messages_(messages) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("QVR Morphel CW"));

  BuildMenu();
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  Tighten(layout);
  layout->addWidget(StepPanel(1, "Select Input / Output", BuildStep1(central), central));
  auto* middle = new QHBoxLayout;
  middle->setSpacing(kSpacing);
  // Room beyond the steps' own goes to step 3, whose lists show the field names.
  middle->addWidget(StepPanel(2, "Choose Formatting Options", BuildStep2(central), central));
  middle->addWidget(StepPanel(3, "Select Data And Fields Which Are To Be In The Output File",
                              BuildStep3(central), central),
                    1);
  layout->addLayout(middle, 1);
  layout->addWidget(StepPanel(4, "Convert The Input File", BuildStep4(central), central));
  layout->addWidget(BuildHiddenGroups(central));
  setCentralWidget(central);
  BuildStatusBar();

  aboutDlg_ = new TAboutDlg(this);
  helpForm_ = new THelp_Form(this);
  lambdaDlg_ = new TLambdaDlg(this);
  waitDlg_ = new TWaitDlg(this);
  generatorDlg_ = new TGeneratorDlg(this);
  thresholdDlg_ = new TThresholdDlg(this);
  driveMap_ = new TDriveMapForm(
      files_, messages_,
      [this]() -> const SegmentTable* {
        Product* reader = model_.CurrentReader();
        return reader ? &reader->SegmentNodes : nullptr;
      },
      this);

  ConnectControls();
  model_.onChanged = [this] { SyncFromModel(); };
  model_.onReport = [this](MessageKind kind, const std::string& text) {
    Report(kind, QString::fromStdString(text));
  };
  model_.onStartIndexing = [this](int item) { RequestIndexing(item); };
  SyncFromModel();
  // A log dropped anywhere on the window is opened as Browse opens it.
  setAcceptDrops(true);
  InputFilename->setAcceptDrops(false);
  PlaceOnScreen();
}

// Never below 800 x 504, and never below what the steps need with the
// desktop's font (a larger font asks for more).
void TMainForm::KeepSmallestSize() {
  setMinimumSize(minimumSizeHint().expandedTo(QSize(kWidth, kHeight)));
}

void TMainForm::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
    KeepSmallestSize();
}

QSize TMainForm::OpeningSize(const QRect& available) const {
  const QSize smallest(kWidth, kHeight);
  QSize size = sizeHint().expandedTo(smallest);
  if (available.isValid())
    size = size.boundedTo(available.size() - QSize(kFrameAllowance, kTitleAllowance));
  return size.expandedTo(smallest);
}

void TMainForm::SetWindowState(WindowState* state) {
  windowState_ = state;
  if (state && !state->LastFolder().isEmpty()) lastFolder_ = state->LastFolder();
  PlaceOnScreen();
}

void TMainForm::PlaceOnScreen() {
  ensurePolished();
  KeepSmallestSize();
  if (windowState_ && windowState_->Restore(*this)) return;
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect();
  resize(OpeningSize(available));
  if (available.isValid()) {
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(frame.topLeft());
  }
}

void TMainForm::ShowStatus(const QString& text) {
  StatusText->SetLine(text);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (windowState_) windowState_->Save(*this);
  QMainWindow::closeEvent(event);
}

TMainForm::~TMainForm() {
  // The runs end before the widgets they report to go away.
  model_.onChanged = nullptr;
  model_.onReport = nullptr;
  model_.onStartIndexing = nullptr;
  convert_.reset();
  index_.reset();
  gather_.reset();
}

void TMainForm::BuildMenu() {
  QMenu* application = menuBar()->addMenu(QStringLiteral("&Application"));
  application->setObjectName(QStringLiteral("Application1"));
  openConfigAction_ = application->addAction(QStringLiteral("Open Configuration"), this,
                                             &TMainForm::OpenConfiguration1Click);
  openConfigAction_->setObjectName(QStringLiteral("OpenConfiguration1"));
  application
      ->addAction(QStringLiteral("Save Configuration"), this, &TMainForm::SaveConfiguration1Click)
      ->setObjectName(QStringLiteral("SaveConfiguration1"));
  application->addSeparator();
  application->addAction(QStringLiteral("E&xit"), this, &TMainForm::Exit1Click)
      ->setObjectName(QStringLiteral("Exit1"));

  QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
  tools->setObjectName(QStringLiteral("Tools1"));
  tools
      ->addAction(QStringLiteral("Generate Average Information..."), this,
                  &TMainForm::Generator1Click)
      ->setObjectName(QStringLiteral("Generator1"));
  tools
      ->addAction(QStringLiteral("Data Reduction via Threshold..."), this,
                  &TMainForm::Threshold1Click)
      ->setObjectName(QStringLiteral("Threshold1"));
  tools->addAction(QStringLiteral("40 Lambda Averaging..."), this, &TMainForm::Lambda1Click)
      ->setObjectName(QStringLiteral("Lambda1"));
  tools->addSeparator();
  tools->addAction(QStringLiteral("Drive Map..."), this, &TMainForm::DriveMap1Click)
      ->setObjectName(QStringLiteral("DriveMap1"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  help->addAction(QStringLiteral("Contents && Index"), this, &TMainForm::ContentsIndex1Click)
      ->setObjectName(QStringLiteral("ContentsIndex1"));
  help->addSeparator();
  help->addAction(QStringLiteral("About"), this, &TMainForm::About1Click)
      ->setObjectName(QStringLiteral("About1"));
}

QWidget* TMainForm::BuildStep1(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(kSpacing);
  grid->addWidget(new QLabel(QStringLiteral("Input:"), box), 0, 0);
  InputFormatLabel = Named(new QLabel(QStringLiteral("(None)"), box), "InputFormatLabel");
  InputFormatLabel->setMinimumWidth(150);
  grid->addWidget(InputFormatLabel, 0, 1);
  InputFilename = Named(new QLineEdit(box), "InputFilename");
  grid->addWidget(InputFilename, 0, 2);
  InBrowse = Named(new QPushButton(QStringLiteral("Browse"), box), "InBrowse");
  grid->addWidget(InBrowse, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("Output:"), box), 1, 0);
  OutputFilename = Named(new QLineEdit(box), "OutputFilename");
  grid->addWidget(OutputFilename, 1, 1, 1, 2);
  OutBrowse = Named(new QPushButton(QStringLiteral("Browse"), box), "OutBrowse");
  grid->addWidget(OutBrowse, 1, 3);
  cbSplit = Named(new QCheckBox(QStringLiteral("Excel Split"), box), "cbSplit");
  cbSplit->setToolTip(QStringLiteral("Split output file into 60000 record files"));
  grid->addWidget(cbSplit, 0, 4);
  sbHelp = Named(new QToolButton(box), "sbHelp");
  sbHelp->setText(QStringLiteral("?"));
  sbHelp->setToolTip(QStringLiteral("What's This?"));
  grid->addWidget(sbHelp, 0, 5);
  grid->setColumnStretch(2, 1);
  return box;
}

QWidget* TMainForm::BuildStep2(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(kSpacing);

  auto* receivers = Group("ReceiverGroup", "Convert Data for Receiver(s)", box);
  auto* receiverRow = new QHBoxLayout(receivers);
  Tighten(receiverRow);
  for (int r = 0; r < 4; ++r) {
    Receiver[static_cast<size_t>(r)] = new QCheckBox(QString::number(r + 1), receivers);
    Receiver[static_cast<size_t>(r)]->setObjectName(QStringLiteral("Receiver%1").arg(r + 1));
    receiverRow->addWidget(Receiver[static_cast<size_t>(r)]);
  }
  Receiver[0]->setChecked(true);
  grid->addWidget(receivers, 0, 0);

  auto* format = Group("GroupBox3", "Format Type", box);
  auto* formatRow = new QHBoxLayout(format);
  Tighten(formatRow);
  OutputFormatGroup = Named(new QComboBox(format), "OutputFormatGroup");
  for (const FormatRow& f : FormatRows()) OutputFormatGroup->addItem(Text(f.caption));
  OutputFormatGroup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  OutputFormatGroup->setMinimumContentsLength(kFormatListChars);
  formatRow->addWidget(OutputFormatGroup);
  grid->addWidget(format, 0, 1);

  grid->addWidget(BuildScanType(box), 1, 0, 1, 2);
  grid->addWidget(BuildAveraging(box), 2, 0, 1, 2);
  tvIndex = Named(new QTreeWidget(box), "tvIndex");
  tvIndex->setHeaderHidden(true);
  tvIndex->setColumnCount(1);
  grid->addWidget(tvIndex, 3, 0, 1, 2);
  grid->setRowStretch(3, 1);
  return box;
}

// Tolvan, Velmar and Brisel logs hold scan-table rows and fast-data rows:
// the choice decides which of them the title line and the tools' own layouts
// describe, so it is in sight for those products.
QWidget* TMainForm::BuildScanType(QWidget* parent) {
  ScanTypeGroup = Group("ScanTypeGroup", "Scan Type", parent);
  auto* column = new QVBoxLayout(ScanTypeGroup);
  Tighten(column);
  auto* row = new QHBoxLayout;
  row->setSpacing(kSpacing);
  scanTypeButtons = new QButtonGroup(this);
  int id = 0;
  for (const char* caption : {"Scan Table", "Fast Data"}) {
    auto* button = new QRadioButton(Text(caption), ScanTypeGroup);
    button->setObjectName(QStringLiteral("ScanType%1").arg(id));
    scanTypeButtons->addButton(button, id++);
    row->addWidget(button);
  }
  row->addStretch();
  column->addLayout(row);
  scanTypeHint = Named(
      new QLabel(QStringLiteral("The title line follows the rows chosen here."), ScanTypeGroup),
      "ScanTypeHint");
  scanTypeHint->setToolTip(
      QStringLiteral("Scan Table: the title line names the readings of every scan channel (80 "
                     "per receiver). Fast Data: one reading per receiver; the Grayson, PathPro "
                     "and Planet layouts carry frequency and RSSI only with Fast Data."));
  scanTypeHint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  scanTypeHint->setForegroundRole(QPalette::PlaceholderText);
  column->addWidget(scanTypeHint);
  return ScanTypeGroup;
}

QWidget* TMainForm::BuildAveraging(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kSpacing);

  auto* reduction = Group("AverageGroup", "Data Reduction", box);
  auto* grid = new QGridLayout(reduction);
  Tighten(grid);
  NoAvg = Named(new QRadioButton(QStringLiteral("Convert All Data"), reduction), "NoAvg");
  NoAvg->setChecked(true);
  BSAvg = Named(new QRadioButton(QStringLiteral("Best Server"), reduction), "BSAvg");
  RadioButton2 = Named(new QRadioButton(QStringLiteral("Threshold"), reduction), "RadioButton2");
  RadioButton1 = Named(new QRadioButton(QStringLiteral("Channel List"), reduction), "RadioButton1");
  btnThreshold = Named(new QPushButton(QStringLiteral("OPTIONS"), reduction), "btnThreshold");
  btnChannelList = Named(new QPushButton(QStringLiteral("OPTIONS"), reduction), "btnChannelList");
  for (QWidget* w : {static_cast<QWidget*>(RadioButton1), static_cast<QWidget*>(RadioButton2),
                     static_cast<QWidget*>(btnThreshold), static_cast<QWidget*>(btnChannelList)})
    w->setEnabled(false);
  // Two columns, so that the step keeps to half of the smallest window with
  // the desktop's font.
  grid->addWidget(NoAvg, 0, 0);
  grid->addWidget(BSAvg, 0, 1);
  grid->addWidget(RadioButton2, 1, 0);
  grid->addWidget(btnThreshold, 1, 1, Qt::AlignLeft);
  grid->addWidget(RadioButton1, 2, 0);
  grid->addWidget(btnChannelList, 2, 1, Qt::AlignLeft);
  row->addWidget(reduction, 1);

  auto* type = Group("GroupBox2", "Average Type", box);
  auto* typeGrid = new QGridLayout(type);
  Tighten(typeGrid);
  cbAT_None = Named(new QRadioButton(QStringLiteral("None"), type), "cbAT_None");
  cbAT_None->setChecked(true);
  LambdaAvg = Named(new QRadioButton(QStringLiteral("40 Lambda"), type), "LambdaAvg");
  rbORPS = Named(new QRadioButton(QStringLiteral("1 Rec per"), type), "rbORPS");
  ORPS_Value = Named(new QLineEdit(QStringLiteral("1"), type), "ORPS_Value");
  orpsUnit = new QLabel(QStringLiteral("second(s)"), type);
  rbORPM = Named(new QRadioButton(QStringLiteral("1 Rec per "), type), "rbORPM");
  ORPM_Value = Named(new QLineEdit(QStringLiteral("100"), type), "ORPM_Value");
  orpmUnit = new QLabel(QStringLiteral("meters"), type);
  typeGrid->addWidget(cbAT_None, 0, 0);
  typeGrid->addWidget(LambdaAvg, 1, 0);
  typeGrid->addWidget(rbORPS, 2, 0);
  typeGrid->addWidget(ORPS_Value, 2, 1);
  typeGrid->addWidget(orpsUnit, 2, 2);
  typeGrid->addWidget(rbORPM, 3, 0);
  typeGrid->addWidget(ORPM_Value, 3, 1);
  typeGrid->addWidget(orpmUnit, 3, 2);
  // The per-second and per-metre choices are kept but not offered.
  for (QWidget* w : {static_cast<QWidget*>(rbORPS), static_cast<QWidget*>(ORPS_Value),
                     static_cast<QWidget*>(orpsUnit), static_cast<QWidget*>(rbORPM),
                     static_cast<QWidget*>(ORPM_Value), static_cast<QWidget*>(orpmUnit)}) {
    w->setEnabled(false);
    w->setVisible(false);
  }
  row->addWidget(type);
  return box;
}

QWidget* TMainForm::BuildStep3(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(kSpacing);

  auto* lists = new QGridLayout;
  lists->setSpacing(kSpacing);
  lists->addWidget(new QLabel(QStringLiteral("Available Fields"), box), 0, 0);
  auto* selectedCaption = new QHBoxLayout;
  selectedCaption->addWidget(new QLabel(QStringLiteral("Selected Fields"), box));
  selectedCaption->addStretch();
  FieldTitles = Named(new QCheckBox(QStringLiteral("Header"), box), "FieldTitles");
  FieldTitles->setChecked(true);
  selectedCaption->addWidget(FieldTitles);
  lists->addLayout(selectedCaption, 0, 2);
  AvailableBox = Named(new FieldList(box), "AvailableBox");
  SelectedBox = Named(new FieldList(box), "SelectedBox");
  AvailableBox->setMinimumWidth(kFieldListMinWidth);
  SelectedBox->setMinimumWidth(kFieldListMinWidth);
  // The selected fields are the output's columns in order: drag one to move it.
  SelectedBox->setDragDropMode(QAbstractItemView::InternalMove);
  SelectedBox->setDefaultDropAction(Qt::MoveAction);
  SelectedBox->setSelectionMode(QAbstractItemView::SingleSelection);
  lists->addWidget(AvailableBox, 1, 0);
  lists->addWidget(SelectedBox, 1, 2);
  lists->addLayout(BuildFieldButtons(box), 1, 1);
  lists->setColumnStretch(0, 1);
  lists->setColumnStretch(2, 1);
  column->addLayout(lists, 1);
  column->addWidget(BuildFieldOptions(box));
  return box;
}

QLayout* TMainForm::BuildFieldButtons(QWidget* parent) {
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(kSpacing);
  SelectField = Named(new QPushButton(QStringLiteral(">"), parent), "SelectField");
  DeselectField = Named(new QPushButton(QStringLiteral("<"), parent), "DeselectField");
  SelectAll = Named(new QPushButton(QStringLiteral(">>"), parent), "SelectAll");
  DeselectAll = Named(new QPushButton(QStringLiteral("<<"), parent), "DeselectAll");
  MoveFieldUp = Named(new QPushButton(parent), "MoveFieldUp");
  MoveFieldDown = Named(new QPushButton(parent), "MoveFieldDown");
  MoveFieldUp->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
  MoveFieldDown->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
  MoveFieldUp->setToolTip(QStringLiteral("Move the selected field up (an earlier column)"));
  MoveFieldDown->setToolTip(QStringLiteral("Move the selected field down (a later column)"));
  MoveFieldUp->setAccessibleName(QStringLiteral("Move up"));
  MoveFieldDown->setAccessibleName(QStringLiteral("Move down"));
  buttons->addStretch();
  for (QPushButton* b : {SelectField, DeselectField, SelectAll, DeselectAll}) {
    b->setFixedWidth(kFieldButtonWidth);
    buttons->addWidget(b);
  }
  buttons->addSpacing(2 * kSpacing);
  for (QPushButton* b : {MoveFieldUp, MoveFieldDown}) {
    b->setFixedWidth(kFieldButtonWidth);
    buttons->addWidget(b);
  }
  buttons->addStretch();
  return buttons;
}

QWidget* TMainForm::BuildFieldOptions(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kSpacing);

  DelimiterGroup = Group("DelimiterGroup", "Field Delimiter", box);
  auto* delimiters = new QGridLayout(DelimiterGroup);
  Tighten(delimiters);
  delimiterButtons = new QButtonGroup(this);
  const char* captions[] = {"Comma", "Semi-Colon", "Tab", "Space", "Other"};
  for (int i = 0; i < 5; ++i) {
    auto* button = new QRadioButton(Text(captions[i]), DelimiterGroup);
    button->setObjectName(QStringLiteral("Delimiter%1").arg(i));
    delimiterButtons->addButton(button, i);
    delimiters->addWidget(button, i % 3, i / 3);
  }
  delimiterButtons->button(0)->setChecked(true);
  OtherDelimiter = Named(new QLineEdit(QStringLiteral(":"), DelimiterGroup), "OtherDelimiter");
  OtherDelimiter->setMaxLength(1);
  OtherDelimiter->setFixedWidth(OtherDelimiter->fontMetrics().horizontalAdvance(QLatin1Char('W')) +
                                4 * kMargin + 2 * kSpacing);
  delimiters->addWidget(OtherDelimiter, 2, 1);
  row->addWidget(DelimiterGroup);

  auto* fieldData = Group("GroupBox1", "Field Data", box);
  auto* dataGrid = new QGridLayout(fieldData);
  Tighten(dataGrid);
  FrequencyField = Named(new QCheckBox(QStringLiteral("Freq (MHz)"), fieldData), "FrequencyField");
  ChannelField = Named(new QCheckBox(QStringLiteral("Channel"), fieldData), "ChannelField");
  RSSIField = Named(new QCheckBox(QStringLiteral("RSSI"), fieldData), "RSSIField");
  SATField = Named(new QCheckBox(QStringLiteral("SAT/DCC"), fieldData), "SATField");
  VMACField = Named(new QCheckBox(QStringLiteral("VMAC"), fieldData), "VMACField");
  FrequencyField->setChecked(true);
  RSSIField->setChecked(true);
  SATField->setEnabled(false);
  VMACField->setEnabled(false);
  dataGrid->addWidget(FrequencyField, 0, 0);
  dataGrid->addWidget(ChannelField, 1, 0);
  dataGrid->addWidget(RSSIField, 2, 0);
  dataGrid->addWidget(SATField, 0, 1);
  dataGrid->addWidget(VMACField, 1, 1);
  row->addWidget(fieldData, 1);
  return box;
}

QWidget* TMainForm::BuildStep4(QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kSpacing);
  btnConvert = Named(new QPushButton(QStringLiteral("Convert Data"), box), "btnConvert");
  btnCancel = Named(new QPushButton(QStringLiteral("Cancel"), box), "btnCancel");
  row->addWidget(btnConvert);
  row->addWidget(btnCancel);
  row->addWidget(new QLabel(QStringLiteral("Command line:"), box));
  // The same conversion from a command prompt; read-only but selectable.
  CommandLine = Named(new QLineEdit(box), "CommandLine");
  CommandLine->setReadOnly(true);
  row->addWidget(CommandLine, 1);
  return box;
}

// The product list and the Skarn scan mode are part of the window's state
// that detection and configurations set, but they are never shown.
QWidget* TMainForm::BuildHiddenGroups(QWidget* parent) {
  auto* holder = new QWidget(parent);
  auto* row = new QHBoxLayout(holder);
  InputFormatGroup = Named(new QComboBox(holder), "InputFormatGroup");
  for (const ProductRow& p : ProductRows()) InputFormatGroup->addItem(Text(p.caption));
  row->addWidget(InputFormatGroup);

  SkarnMode = Group("SkarnMode", "Scan Mode", holder);
  skarnModeButtons = new QButtonGroup(this);
  auto* skarnRow = new QHBoxLayout(SkarnMode);
  int id = 0;
  for (const char* caption : {"1 Channel", "3 Channel", "Scan Table"}) {
    auto* button = new QRadioButton(Text(caption), SkarnMode);
    skarnModeButtons->addButton(button, id++);
    skarnRow->addWidget(button);
  }
  row->addWidget(SkarnMode);
  for (QWidget* w : {static_cast<QWidget*>(InputFormatGroup), static_cast<QWidget*>(SkarnMode)})
    w->setVisible(false);
  holder->setVisible(false);
  return holder;
}

// The status bar: what runs or how the last run ended, the gauge and the
// clock. Colours come from the palette, so all three read on light and dark
// desktops alike.
void TMainForm::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("sbStatus"));
  bar->setSizeGripEnabled(false);
  StatusText = Named(new StatusLine(bar), "StatusText");
  bar->addWidget(StatusText, 1);
  ProgressBar = Named(new ReadableGauge(bar), "ProgressBar");
  ProgressBar->setRange(0, kPercentMax);
  ProgressBar->setValue(0);
  ProgressBar->setMinimumWidth(kGaugeMinWidth);
  bar->addWidget(ProgressBar, 1);
  olClock = Named(new QLabel(QStringLiteral("HH:MM:SS"), bar), "olClock");
  QFont bold = olClock->font();
  bold.setBold(true);
  olClock->setFont(bold);
  const QString widest = QLocale::system().toString(QTime(23, 59, 59), QLocale::LongFormat);
  olClock->setFixedWidth(
      std::max(kClockMinWidth, QFontMetrics(bold).horizontalAdvance(widest) + kClockPadding));
  olClock->setAlignment(Qt::AlignCenter);
  olClock->setAutoFillBackground(true);
  olClock->setBackgroundRole(QPalette::Base);
  olClock->setForegroundRole(QPalette::Text);
  bar->addWidget(olClock);

  Timer = Named(new QTimer(this), "Timer");
  Timer->setInterval(kClockIntervalMs);
  connect(Timer, &QTimer::timeout, this, &TMainForm::TimerTimer);
  Timer->start();
}

}  // namespace morphel::ui
