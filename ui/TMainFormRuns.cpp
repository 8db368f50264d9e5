// The main window's background runs and the index tree. The window's thread
// never waits for a run: a start that has to wait (a second "Convert Data"
// while converting, a new log while a run reads the old one) is remembered
// and made when the running one reports that it has finished.

#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "core/SegmentTable.h"
#include "index/IndexRun.h"
#include "products/FormatTable.h"
#include "products/ProductTable.h"
#include "ui/Dialogs.h"
#include "ui/DriveMap.h"
#include "ui/RunReports.h"
#include "ui/TMainForm.h"
#include "ui/Workers.h"

namespace morphel::ui {

namespace {
constexpr int kSegmentIndexRole = Qt::UserRole;
}  // namespace

void TMainForm::RequestIndexing(int item) {
  // The reader now chosen is the one for this log.
  const QString log = QString::fromStdString(model_.GetSettings().InputFilename);
  acceptedInput_ = log.isEmpty() ? log : QFileInfo(log).absoluteFilePath();
  indexPending_ = item;
  // An older indexing run reads a log that is no longer selected.
  if (indexing_ && index_) index_->RequestStop();
  StartPending();
}

// Indexing first: a conversion waiting to start converts the newly selected
// log and needs its segments.
void TMainForm::StartPending() {
  if (Busy()) return;
  if (indexPending_ != 0) {
    const int item = indexPending_;
    indexPending_ = 0;
    StartIndexing(item);
    return;
  }
  if (convertPending_) {
    convertPending_ = false;
    StartConversion();
  }
}

void TMainForm::StartIndexing(int item) {
  Product* reader = model_.CurrentReader();
  if (!reader) return;
  index_.reset();
  ResetTree(item);
  auto sink = [this](MessageKind kind, const QString& text) { Report(kind, text); };
  index_ = std::make_unique<TMakeIndex>(*reader, model_.Snapshot(), item, sink, nullptr);
  TMakeIndex* worker = index_.get();
  connect(worker, &RunWorker::progressed, waitDlg_, &TWaitDlg::SetProgress);
  connect(worker, &TMakeIndex::segmentAdded, this,
          [this, worker](int index, int type, const QString& caption, bool stored) {
            // A run told to stop reads a log that is no longer selected.
            if (!worker->StopWasRequested()) AddSegmentNode(index, type, caption, stored);
          });
  connect(worker, &QThread::finished, this, &TMainForm::IndexFinished);
  indexing_ = true;
  SyncRunStates();
  ShowStatus(IndexingStatus(model_.GetSettings().InputFilename));
  waitDlg_->SetProgress(0);
  waitDlg_->show();
  worker->start();
}

void TMainForm::IndexFinished() {
  indexing_ = false;
  waitDlg_->SetProgress(0);
  waitDlg_->hide();
  tvIndex->expandAll();
  SyncRunStates();
  RefreshCommandLine();
  if (index_) {
    const IndexEnd& end = index_->End();
    ShowStatus(IndexStatus(end));
    const QString warning = IndexWarning(end);
    if (!warning.isEmpty()) Report(MessageKind::Warning, warning);
  }
  // A map open on another log follows the log now selected.
  if (driveMap_->isVisible() && driveMap_->Log() != model_.GetSettings().InputFilename)
    driveMap_->Load(model_.Snapshot());
  emit indexingFinished();
  StartPending();
}

// The map of the log selected, read on its own worker with its own reader.
void TMainForm::DriveMap1Click() {
  if (model_.GetSettings().InputFormatGroup == kItemNone || !model_.CurrentReader()) {
    Report(MessageKind::Warning, QString::fromLatin1(kChooseInputFirst));
    return;
  }
  if (driveMap_->Log() != model_.GetSettings().InputFilename || !driveMap_->isVisible())
    driveMap_->Load(model_.Snapshot());
  driveMap_->show();
  driveMap_->raise();
}

void TMainForm::btnConvertClick() {
  const QString typed = TypedInput();
  if (typed.isEmpty()) {
    Report(MessageKind::Warning, QString::fromLatin1(kChooseInputFirst));
    return;
  }
  // A path typed but not yet taken is recognised and indexed first; the
  // conversion starts once its indexing has finished.
  if (typed != acceptedInput_ && !OpenInputFile(typed)) return;
  if (model_.GetSettings().InputFormatGroup == kItemNone) {
    Report(MessageKind::Warning, QString::fromLatin1(kChooseInputFirst));
    return;
  }
  convertPending_ = true;
  // The new run starts once the running one has closed its files.
  if (converting_ && convert_) convert_->RequestStop();
  StartPending();
}

void TMainForm::btnCancelClick() {
  convertPending_ = false;
  if (convert_) convert_->RequestStop();
}

void TMainForm::StartConversion() {
  Product* reader = model_.CurrentReader();
  if (!reader) return;
  convert_.reset();
  auto sink = [this](MessageKind kind, const QString& text) { Report(kind, text); };
  convert_ = std::make_unique<TConvert>(*reader, model_.Snapshot(), sink, nullptr);
  connect(convert_.get(), &RunWorker::progressed, ProgressBar, &QProgressBar::setValue);
  connect(convert_.get(), &QThread::finished, this, &TMainForm::ConversionFinished);
  converting_ = true;
  SyncRunStates();
  const Settings& s = model_.GetSettings();
  ShowStatus(ConvertingStatus(s.InputFilename, s.OutputFilename));
  convert_->start();
}

// After the run's own message: how it ended in the status bar, and a
// warning when nothing was written or the log is damaged.
void TMainForm::ConversionFinished() {
  converting_ = false;
  SyncRunStates();
  if (convert_) {
    const ConversionEnd& end = convert_->End();
    ShowStatus(ConversionStatus(end));
    const QString warning = ConversionWarning(end);
    if (!warning.isEmpty()) Report(MessageKind::Warning, warning);
  }
  emit conversionFinished();
  StartPending();
}

void TMainForm::StartGathering() {
  Product* reader = model_.CurrentReader();
  if (!reader || Busy()) return;
  gather_.reset();
  auto sink = [this](MessageKind kind, const QString& text) { Report(kind, text); };
  gather_ = std::make_unique<TMakeList>(*reader, model_.Snapshot(), sink, nullptr);
  connect(gather_.get(), &RunWorker::progressed, generatorDlg_, &TGeneratorDlg::SetProgress);
  connect(gather_.get(), &QThread::finished, this, &TMainForm::GatheringFinished);
  gathering_ = true;
  generatorDlg_->SetProgress(0);
  SyncRunStates();
  ShowStatus(GatheringStatus(model_.GetSettings().InputFilename));
  gather_->start();
}

void TMainForm::GatheringFinished() {
  gathering_ = false;
  SyncRunStates();
  if (gather_) ShowStatus(GatherStatus(gather_->Outcome(), model_.GetSettings().InputFilename));
  emit gatheringFinished();
  StartPending();
}

void TMainForm::ResetTree(int item) {
  const bool outer = syncing_;
  syncing_ = true;
  tvIndex->clear();
  typeNodes_.assign(kSegmentTypeCount, nullptr);
  for (const TopLevelNode& node : TopLevelNodes(item)) {
    auto* top = new QTreeWidgetItem(tvIndex, {QString::fromLatin1(node.caption)});
    top->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (node.type >= 0 && node.type < kSegmentTypeCount)
      typeNodes_[static_cast<size_t>(node.type)] = top;
  }
  tvIndex->expandAll();
  syncing_ = outer;
}

void TMainForm::AddSegmentNode(int index, int type, const QString& caption, bool stored) {
  if (type < 0 || type >= kSegmentTypeCount) return;
  QTreeWidgetItem* parent = typeNodes_[static_cast<size_t>(type)];
  if (!parent) return;
  const bool outer = syncing_;
  syncing_ = true;
  auto* child = new QTreeWidgetItem(parent, {caption});
  child->setData(0, kSegmentIndexRole, index);
  // Segments past the table are always converted: they carry no check box.
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (stored) {
    flags |= Qt::ItemIsUserCheckable;
    child->setCheckState(0, Qt::Checked);
  }
  child->setFlags(flags);
  parent->setExpanded(true);
  syncing_ = outer;
}

// A click on a segment's check box leaves the segment out or takes it back;
// the top-level nodes carry no check box and are never toggled.
void TMainForm::tvIndexItemChanged(QTreeWidgetItem* item, int column) {
  if (syncing_ || column != 0 || !item || !item->parent()) return;
  const int index = item->data(0, kSegmentIndexRole).toInt();
  model_.ToggleSegment(index);
  Product* reader = model_.CurrentReader();
  if (!reader) return;
  const bool included = reader->SegmentNodes.State(index) == SegmentTable::kChecked;
  syncing_ = true;
  item->setCheckState(0, included ? Qt::Checked : Qt::Unchecked);
  syncing_ = false;
  RefreshCommandLine();
  driveMap_->SegmentsChanged();
}

}  // namespace morphel::ui
