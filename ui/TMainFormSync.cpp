// The main window's handlers and the mirroring of MainModel into the widgets.

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <initializer_list>
#include <utility>

#include "app/Configuration.h"
#include "cli/CommandLine.h"
#include "index/IndexRun.h"
#include "products/FormatTable.h"
#include "products/LogPass.h"
#include "products/ProductTable.h"
#include "ui/Dialogs.h"
#include "ui/TMainForm.h"
#include "ui/WindowState.h"
#include "ui/Workers.h"

namespace morphel::ui {

namespace {

using RadioState = std::pair<QRadioButton*, bool>;

// Mirrors the checked flags of one radio group. The last checked flag wins,
// as it does when a group's buttons are set one after the other; a group
// without any checked flag shows no button checked.
void SetRadioGroup(std::initializer_list<RadioState> buttons) {
  QRadioButton* last = nullptr;
  for (const RadioState& b : buttons)
    if (b.second) last = b.first;
  for (const RadioState& b : buttons) {
    if (b.first == last || !b.first->isChecked()) continue;
    b.first->setAutoExclusive(false);
    b.first->setChecked(false);
    b.first->setAutoExclusive(true);
  }
  if (last) last->setChecked(true);
}

void SetText(QLineEdit* edit, const std::string& text) {
  const QString value = QString::fromStdString(text);
  if (edit->text() != value) edit->setText(value);
}

void SetState(QWidget* widget, const ControlState& state) {
  widget->setEnabled(state.enabled);
  widget->setVisible(state.visible);
}

// Rebuilds a list box when its entries differ, keeping the highlighted row.
void SetEntries(QListWidget* box, const std::vector<std::string>& entries) {
  bool same = box->count() == static_cast<int>(entries.size());
  for (int i = 0; same && i < box->count(); ++i)
    same = box->item(i)->text() == QString::fromStdString(entries[static_cast<size_t>(i)]);
  if (same) return;
  const int row = box->currentRow();
  box->clear();
  for (const std::string& entry : entries) box->addItem(QString::fromStdString(entry));
  if (row >= 0 && box->count() > 0) box->setCurrentRow(std::min(row, box->count() - 1));
}

// The first local file of a drag, or nothing.
QString DroppedFile(const QMimeData* mime) {
  if (!mime || !mime->hasUrls()) return {};
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

}  // namespace

// A path as typed or pasted: without surrounding blanks or quotes, and a
// file manager's file:// address as the file's path.
QString LogPathFromText(const QString& text) {
  QString path = text.trimmed();
  if (path.size() >= 2 && (path.front() == QLatin1Char('"') || path.front() == QLatin1Char('\'')) &&
      path.back() == path.front())
    path = path.mid(1, path.size() - 2);
  if (path.startsWith(QStringLiteral("file://"))) path = QUrl(path).toLocalFile();
  return path;
}

void TMainForm::ConnectControls() {
  connect(InBrowse, &QPushButton::clicked, this, &TMainForm::InBrowseClick);
  connect(OutBrowse, &QPushButton::clicked, this, &TMainForm::OutBrowseClick);
  connect(sbHelp, &QToolButton::clicked, this, &TMainForm::sbHelpClick);
  connect(OutputFormatGroup, &QComboBox::activated, this, &TMainForm::OutputFormatGroupChange);
  connect(SelectField, &QPushButton::clicked, this, &TMainForm::SelectClick);
  connect(DeselectField, &QPushButton::clicked, this, &TMainForm::DeselectClick);
  connect(SelectAll, &QPushButton::clicked, this, &TMainForm::SelectAllClick);
  connect(DeselectAll, &QPushButton::clicked, this, &TMainForm::DeselectAllClick);
  connect(MoveFieldUp, &QPushButton::clicked, this, &TMainForm::MoveFieldUpClick);
  connect(MoveFieldDown, &QPushButton::clicked, this, &TMainForm::MoveFieldDownClick);
  // A drag within the list moves the entry there; the ids follow it.
  connect(SelectedBox->model(), &QAbstractItemModel::rowsMoved, this,
          [this](const QModelIndex&, int start, int, const QModelIndex&, int row) {
            SelectedRowsMoved(start, row > start ? row - 1 : row);
          });
  connect(InputFilename, &QLineEdit::editingFinished, this,
          &TMainForm::InputFilenameEditingFinished);
  connect(AvailableBox, &QListWidget::itemDoubleClicked, this, &TMainForm::SelectClick);
  connect(SelectedBox, &QListWidget::itemDoubleClicked, this, &TMainForm::DeselectClick);
  connect(btnConvert, &QPushButton::clicked, this, &TMainForm::btnConvertClick);
  connect(btnCancel, &QPushButton::clicked, this, &TMainForm::btnCancelClick);
  connect(tvIndex, &QTreeWidget::itemChanged, this, &TMainForm::tvIndexItemChanged);

  // Edits go straight into the model's settings.
  auto edit = [this](auto apply) {
    return [this, apply](auto&&... value) {
      if (syncing_) return;
      apply(model_.EditSettings(), value...);
      SettingsEdited();
    };
  };
  connect(InputFilename, &QLineEdit::textEdited, this,
          edit([](Settings& s, const QString& t) { s.InputFilename = t.toStdString(); }));
  connect(OutputFilename, &QLineEdit::textEdited, this,
          edit([](Settings& s, const QString& t) { s.OutputFilename = t.toStdString(); }));
  connect(OtherDelimiter, &QLineEdit::textEdited, this,
          edit([](Settings& s, const QString& t) { s.OtherDelimiter = t.toStdString(); }));
  connect(cbSplit, &QCheckBox::toggled, this, edit([](Settings& s, bool on) { s.cbSplit = on; }));
  for (int r = 1; r <= 4; ++r) {
    connect(Receiver[static_cast<size_t>(r - 1)], &QCheckBox::toggled, this,
            edit([r](Settings& s, bool on) { s.SetReceiver(r, on); }));
  }
  connect(FieldTitles, &QCheckBox::toggled, this,
          edit([](Settings& s, bool on) { s.FieldTitles = on; }));
  connect(FrequencyField, &QCheckBox::toggled, this,
          edit([](Settings& s, bool on) { s.FrequencyField = on; }));
  connect(ChannelField, &QCheckBox::toggled, this,
          edit([](Settings& s, bool on) { s.ChannelField = on; }));
  connect(RSSIField, &QCheckBox::toggled, this,
          edit([](Settings& s, bool on) { s.RSSIField = on; }));
  connect(SATField, &QCheckBox::toggled, this, edit([](Settings& s, bool on) { s.SATField = on; }));
  connect(VMACField, &QCheckBox::toggled, this,
          edit([](Settings& s, bool on) { s.VMACField = on; }));
  connect(scanTypeButtons, &QButtonGroup::idToggled, this, edit([](Settings& s, int id, bool on) {
            if (on) s.ScanTypeGroup = id;
          }));
  connect(delimiterButtons, &QButtonGroup::idToggled, this, edit([](Settings& s, int id, bool on) {
            if (on) s.DelimiterGroup = id;
          }));
  for (QRadioButton* b :
       {NoAvg, BSAvg, RadioButton1, RadioButton2, cbAT_None, LambdaAvg, rbORPS, rbORPM}) {
    connect(b, &QRadioButton::toggled, this, [this] {
      if (!syncing_) StoreRadioGroups();
    });
  }

  connect(generatorDlg_, &TGeneratorDlg::generateRequested, this, &TMainForm::StartGathering);
  connect(generatorDlg_, &TGeneratorDlg::exitRequested, this, [this] {
    if (gather_) gather_->RequestStop();
  });
  connect(lambdaDlg_, &QDialog::finished, this, [this] {
    lambdaDlg_->Store(model_.EditSettings());
    SettingsEdited();
  });
}

void TMainForm::StoreRadioGroups() {
  Settings& s = model_.EditSettings();
  s.NoAvg = NoAvg->isChecked();
  s.BSAvg = BSAvg->isChecked();
  s.cbAT_None = cbAT_None->isChecked();
  s.LambdaAvg = LambdaAvg->isChecked();
  s.rbORPS = rbORPS->isChecked();
  s.rbORPM = rbORPM->isChecked();
  SettingsEdited();
}

void TMainForm::SettingsEdited() {
  RefreshCommandLine();
}

void TMainForm::RefreshCommandLine() {
  const QString text = QString::fromStdString(EquivalentCommandLine(model_));
  if (CommandLine->text() != text) {
    CommandLine->setText(text);
    CommandLine->setCursorPosition(0);
  }
}

void TMainForm::SyncFromModel() {
  const bool outer = syncing_;
  syncing_ = true;
  const Settings& s = model_.GetSettings();
  InputFormatLabel->setText(QString::fromStdString(model_.InputFormatLabel()));
  SetText(InputFilename, s.InputFilename);
  SetText(OutputFilename, s.OutputFilename);
  SetText(OtherDelimiter, s.OtherDelimiter);
  SetText(ORPS_Value, s.ORPS_Value);
  SetText(ORPM_Value, s.ORPM_Value);
  cbSplit->setChecked(s.cbSplit);
  for (int r = 1; r <= 4; ++r)
    Receiver[static_cast<size_t>(r - 1)]->setChecked(s.ReceiverChecked(r));
  SetRadioGroup({{NoAvg, s.NoAvg}, {BSAvg, s.BSAvg}, {RadioButton1, false}, {RadioButton2, false}});
  SetRadioGroup(
      {{cbAT_None, s.cbAT_None}, {rbORPS, s.rbORPS}, {rbORPM, s.rbORPM}, {LambdaAvg, s.LambdaAvg}});
  InputFormatGroup->setCurrentIndex(s.InputFormatGroup);
  OutputFormatGroup->setCurrentIndex(s.OutputFormatGroup);
  if (QAbstractButton* b = scanTypeButtons->button(s.ScanTypeGroup)) b->setChecked(true);
  if (QAbstractButton* b = skarnModeButtons->button(s.SkarnMode)) b->setChecked(true);
  FieldTitles->setChecked(s.FieldTitles);
  if (QAbstractButton* b = delimiterButtons->button(s.DelimiterGroup)) {
    b->setChecked(true);
  } else if (QAbstractButton* checked = delimiterButtons->checkedButton()) {
    // No delimiter item chosen: none of the buttons is shown checked.
    delimiterButtons->setExclusive(false);
    checked->setChecked(false);
    delimiterButtons->setExclusive(true);
  }
  FrequencyField->setChecked(s.FrequencyField);
  ChannelField->setChecked(s.ChannelField);
  RSSIField->setChecked(s.RSSIField);
  SATField->setChecked(s.SATField);
  VMACField->setChecked(s.VMACField);
  SyncLists();
  SyncStates();
  syncing_ = outer;
  RefreshCommandLine();
}

void TMainForm::SyncLists() {
  const Settings& s = model_.GetSettings();
  SetEntries(AvailableBox, s.AvailableBox);
  SetEntries(SelectedBox, s.SelectedBox);
}

void TMainForm::SyncStates() {
  const MainControls& c = model_.Controls();
  SetState(DelimiterGroup, c.DelimiterGroup);
  SetState(FieldTitles, c.FieldTitles);
  SetState(OtherDelimiter, c.OtherDelimiter);
  SetState(ScanTypeGroup, c.ScanTypeGroup);
  // The Skarn scan mode keeps its enabled state but is never shown.
  SkarnMode->setEnabled(c.SkarnMode.enabled);
  for (int r = 1; r <= 4; ++r) SetState(Receiver[static_cast<size_t>(r - 1)], c.Receiver(r));
  SetState(SATField, c.SATField);
  SetState(VMACField, c.VMACField);
  SetState(LambdaAvg, c.LambdaAvg);
  SyncRunStates();
}

// While a conversion reads the current reader's field ids, nothing that
// rewrites them is offered; a run of any kind holds off another start.
void TMainForm::SyncRunStates() {
  const MainControls& c = model_.Controls();
  SelectField->setEnabled(c.SelectField.enabled && !converting_);
  DeselectField->setEnabled(c.DeselectField.enabled && !converting_);
  SelectAll->setEnabled(c.SelectAll.enabled && !converting_);
  DeselectAll->setEnabled(c.DeselectAll.enabled && !converting_);
  // Moving entries is editing the selection as the four buttons do.
  const bool reorder = c.SelectField.enabled && !converting_;
  MoveFieldUp->setEnabled(reorder);
  MoveFieldDown->setEnabled(reorder);
  SelectedBox->setDragEnabled(reorder);
  OutputFormatGroup->setEnabled(!converting_);
  openConfigAction_->setEnabled(!converting_);
  btnConvert->setEnabled(!indexing_ && !gathering_);
  generatorDlg_->SetGenerateEnabled(!Busy());
}

void TMainForm::Report(MessageKind kind, const QString& text) {
  messages_.Show(this, kind, text);
}

void TMainForm::InBrowseClick() {
  if (auto path = files_.OpenInput(this, lastFolder_)) OpenInputFile(*path);
}

QString TMainForm::TypedInput() const {
  const QString path = LogPathFromText(InputFilename->text());
  return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

bool TMainForm::OpenInputFile(const QString& given) {
  // A warning box shown while a path is examined takes the focus from the
  // Input box, which must not examine the same path again.
  if (openingInput_) return false;
  openingInput_ = true;
  // Relative to wherever the program was started: kept as a whole path, so a
  // saved set-up works from any folder.
  const QString path = QFileInfo(given).absoluteFilePath();
  triedInput_ = path;
  const QFileInfo file(path);
  if (!file.isFile()) {
    Report(MessageKind::Error,
           QStringLiteral("%1\n\n%2").arg(QString::fromLatin1(kInputMissing), path));
    openingInput_ = false;
    SyncFromModel();
    return false;
  }
  model_.BrowseInput(path.toStdString());
  openingInput_ = false;
  SyncFromModel();
  const bool recognised = model_.GetSettings().InputFormatGroup != kItemNone;
  if (recognised) {
    lastFolder_ = file.absolutePath();
    if (windowState_) windowState_->SetLastFolder(lastFolder_);
  }
  return recognised;
}

// A path typed or pasted into the Input box is taken as Browse takes a
// chosen one once the editing is over (Return, or leaving the box).
void TMainForm::InputFilenameEditingFinished() {
  const QString path = TypedInput();
  if (path.isEmpty() || path == acceptedInput_ || path == triedInput_) return;
  OpenInputFile(path);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

// Opened once the drop is over: a warning box must not run inside the
// desktop's drag and drop.
void TMainForm::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  QTimer::singleShot(0, this, [this, path] { OpenInputFile(path); });
}

void TMainForm::OutBrowseClick() {
  const QString current = QString::fromStdString(model_.GetSettings().OutputFilename);
  if (auto path = files_.SaveOutput(this, current.isEmpty() ? lastFolder_ : current)) {
    model_.EditSettings().OutputFilename = path->toStdString();
    SyncFromModel();
  }
}

void TMainForm::sbHelpClick() {
  model_.sbHelpClick();
}

void TMainForm::OutputFormatGroupChange(int item) {
  model_.ApplyOutputPreset(item);
  SyncFromModel();
}

void TMainForm::SelectClick() {
  model_.SelectClick(AvailableBox->currentRow());
  SyncFromModel();
}

void TMainForm::DeselectClick() {
  model_.DeselectClick(SelectedBox->currentRow());
  SyncFromModel();
}

void TMainForm::SelectAllClick() {
  model_.SelectAllClick();
  SyncFromModel();
}

void TMainForm::DeselectAllClick() {
  model_.DeselectAllClick();
  SyncFromModel();
}

void TMainForm::MoveFieldUpClick() {
  const int row = SelectedBox->currentRow();
  MoveSelectedField(row, row - 1);
}

void TMainForm::MoveFieldDownClick() {
  const int row = SelectedBox->currentRow();
  MoveSelectedField(row, row + 1);
}

void TMainForm::MoveSelectedField(int from, int to) {
  if (!model_.MoveSelected(from, to)) return;
  SyncFromModel();
  // The moved entry stays highlighted, so the next click moves it on.
  SelectedBox->setCurrentRow(to);
}

// The list has already moved its entry; the model follows, the ids with it.
void TMainForm::SelectedRowsMoved(int from, int to) {
  if (syncing_) return;
  if (!model_.MoveSelected(from, to)) {
    SyncFromModel();
    return;
  }
  RefreshCommandLine();
}

void TMainForm::TimerTimer() {
  olClock->setText(QLocale::system().toString(QTime::currentTime(), QLocale::LongFormat));
}

void TMainForm::OpenConfiguration1Click() {
  if (converting_) return;
  if (auto path = files_.OpenConfig(this, lastFolder_)) {
    OpenConfiguration(model_, path->toStdString());
    SyncFromModel();
  }
}

void TMainForm::SaveConfiguration1Click() {
  if (auto path = files_.SaveConfig(this, lastFolder_)) {
    std::string error;
    if (!SaveConfiguration(model_, path->toStdString(), &error))
      Report(MessageKind::Error, QString::fromStdString(error));
  }
}

void TMainForm::Exit1Click() {
  close();
}

void TMainForm::ContentsIndex1Click() {
  helpForm_->show();
  helpForm_->raise();
}

void TMainForm::About1Click() {
  aboutDlg_->open();
}

void TMainForm::Generator1Click() {
  generatorDlg_->SetGenerateEnabled(!Busy());
  generatorDlg_->open();
}

void TMainForm::Threshold1Click() {
  thresholdDlg_->open();
}

void TMainForm::Lambda1Click() {
  lambdaDlg_->Load(model_.GetSettings());
  lambdaDlg_->open();
}

}  // namespace morphel::ui
