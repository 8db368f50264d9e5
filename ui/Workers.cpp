#include "ui/Workers.h"

#include <filesystem>
#include <utility>

#include "products/ProductTable.h"

namespace morphel::ui {

namespace {
// How often a run waiting for a message box looks whether the window gave
// up on it (only while the window is closing).
constexpr int kReplyPollMs = 50;
}  // namespace

RunWorker::RunWorker(Product& reader, const Settings& snapshot, ReportSink sink, QObject* parent)
    : QThread(parent), reader_(reader), snapshot_(snapshot), sink_(std::move(sink)) {}

RunWorker::~RunWorker() {
  Shutdown();
}

void RunWorker::Shutdown() {
  abandoned_.store(true);
  stop_.store(true);
  wait();
}

// The box is shown by a call queued to this object, which lives in the
// window's thread; the run waits on a semaphore that the call releases. Were
// the object destroyed first, Qt drops the call and the destructor's
// abandoned flag ends the wait.
void RunWorker::report(MessageKind kind, const std::string& text) {
  lastMessage_ = text;
  Show(kind, QString::fromStdString(text));
}

void RunWorker::reportDetail(MessageKind kind, const std::string& text, const std::string& detail) {
  lastMessage_ = detail.empty() ? text : text + " (" + detail + ")";
  QString shown = QString::fromStdString(text);
  if (!detail.empty()) shown += QStringLiteral("\n\n") + QString::fromStdString(detail);
  Show(kind, shown);
}

void RunWorker::Show(MessageKind kind, const QString& text) {
  auto dismissed = std::make_shared<QSemaphore>(0);
  QMetaObject::invokeMethod(
      this,
      [sink = sink_, kind, message = text, dismissed] {
        if (sink) sink(kind, message);
        dismissed->release();
      },
      Qt::QueuedConnection);
  while (!dismissed->tryAcquire(1, kReplyPollMs)) {
    if (abandoned_.load()) return;
  }
}

TConvert::~TConvert() {
  Shutdown();
}

void TConvert::run() {
  ConversionRun conversion(reader_, snapshot_, *this);
  end_.outcome = conversion.Run();
  end_.summary = conversion.Summary();
  // A refused run never opened the log: the counts are an earlier run's.
  if (end_.outcome == RunOutcome::Completed) {
    end_.damage = reader_.Damage;
    end_.emptyReason = conversion.EmptyResultReason();
  }
  end_.message = lastMessage_;
  end_.output = snapshot_.OutputFilename;
}

TMakeIndex::TMakeIndex(Product& reader, const Settings& snapshot, int productItem, ReportSink sink,
                       QObject* parent)
    : RunWorker(reader, snapshot, std::move(sink), parent), item_(productItem) {}

TMakeIndex::~TMakeIndex() {
  Shutdown();
}

void TMakeIndex::run() {
  IndexRun indexing(reader_, snapshot_, item_, *this);
  indexing.segmentAdded = [this](const IndexedSegment& segment) {
    emit segmentAdded(segment.index, segment.type, QString::fromStdString(segment.caption),
                      segment.stored);
  };
  end_.outcome = indexing.Run();
  end_.segments = indexing.SegmentsFound();
  end_.damage = reader_.Damage;
  end_.message = lastMessage_;
  end_.log = snapshot_.InputFilename;
}

TMakeList::~TMakeList() {
  Shutdown();
}

void TMakeList::run() {
  GatherRun gathering(reader_, snapshot_, *this);
  outcome_.store(gathering.Run());
}

TMakeMap::~TMakeMap() {
  Shutdown();
}

void TMakeMap::run() {
  ReadingRun reading(reader_, snapshot_, ReadingOptions{}, *this);
  outcome_ = reading.Run(track_);
  summary_ = reading.Summary();
}

TExportMap::TExportMap(Product& reader, const Settings& snapshot,
                       const exporting::ExportSettings& settings, const ReadingOptions& options,
                       ReportSink sink, QObject* parent)
    : RunWorker(reader, snapshot, std::move(sink), parent),
      settings_(settings),
      options_(options) {}

TExportMap::~TExportMap() {
  Shutdown();
}

// The GDAL module is loaded here, on the first GIS export, never before.
void TExportMap::run() {
  std::unique_ptr<exporting::ExportSink> sink = exporting::CreateExport(settings_);
  const ProductRow* row = ProductRowFor(snapshot_.InputFormatGroup);
  if (row)
    sink->SetLog(exporting::ExportLog(
        *row, std::filesystem::path(snapshot_.InputFilename).filename().string()));
  ReadingRun reading(reader_, snapshot_, options_, *this);
  outcome_ = reading.Run(*sink);
  summary_ = reading.Summary();
  if (outcome_ == ReadingOutcome::SinkFailed) error_ = sink->Error();
  if (!sink->Close() && error_.empty()) error_ = sink->Error();
}

}  // namespace morphel::ui
