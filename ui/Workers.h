#pragma once
// The background runs of the window. Each is a QThread over one of the
// engine's synchronous runs, working on a copy of the settings taken when it
// starts. Progress goes to the window as a queued signal; a message is shown
// by the window (in its own thread) while the run waits for the user to
// dismiss it; a stop request is an atomic flag the run reads once per block.

#include <QSemaphore>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>

#include "app/ConversionRun.h"
#include "core/RunHooks.h"
#include "core/Settings.h"
#include "export/DriveTrack.h"
#include "export/Export.h"
#include "index/GatherRun.h"
#include "index/IndexRun.h"
#include "index/ReadingRun.h"
#include "products/Product.h"
#include "ui/RunReports.h"

namespace morphel::ui {

// Shows a message box in the window's thread and returns when it is closed.
using ReportSink = std::function<void(MessageKind, const QString&)>;

class RunWorker : public QThread, protected RunHooks {
  Q_OBJECT
 public:
  RunWorker(Product& reader, const Settings& snapshot, ReportSink sink, QObject* parent);
  // Stops a run that is still working and waits for it; a message box the
  // run is waiting for is given up first, so the window never deadlocks.
  ~RunWorker() override;

  void RequestStop() { stop_.store(true); }
  bool StopWasRequested() const { return stop_.load(); }
  Product& Reader() const { return reader_; }

 signals:
  // Whole-number percentage of the input consumed.
  void progressed(int percent);

 protected:
  void progress(int percent) override { emit progressed(percent); }
  void report(MessageKind kind, const std::string& text) override;
  // The box shows the path and the system's reason under the message.
  void reportDetail(MessageKind kind, const std::string& text, const std::string& detail) override;
  bool stopRequested() override { return stop_.load(); }
  // Gives up a message the run waits for, asks it to stop and waits for the
  // thread to end. Every subclass calls it in its destructor, so run() never
  // outlives the members it uses.
  void Shutdown();

  Product& reader_;
  const Settings snapshot_;
  // The last message the run reported (written by the run's thread only).
  std::string lastMessage_;

 private:
  void Show(MessageKind kind, const QString& text);

  ReportSink sink_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> abandoned_{false};
};

// The conversion run started by "Convert Data".
class TConvert : public RunWorker {
  Q_OBJECT
 public:
  using RunWorker::RunWorker;
  ~TConvert() override;
  // How the run ended; read once the thread has finished.
  const ConversionEnd& End() const { return end_; }

 protected:
  void run() override;

 private:
  ConversionEnd end_;
};

// The indexing run started by every product selection.
class TMakeIndex : public RunWorker {
  Q_OBJECT
 public:
  TMakeIndex(Product& reader, const Settings& snapshot, int productItem, ReportSink sink,
             QObject* parent);
  ~TMakeIndex() override;
  int ProductItem() const { return item_; }
  // How the run ended; read once the thread has finished.
  const IndexEnd& End() const { return end_; }

 signals:
  // A segment was found: index in file order from 0, its type code, its
  // start time, and whether the segment table holds it (segments past the
  // table's capacity are always converted and cannot be left out).
  void segmentAdded(int index, int type, const QString& caption, bool stored);

 protected:
  void run() override;

 private:
  const int item_;
  IndexEnd end_;
};

// The gathering run started by "Generate" in the average information dialog.
class TMakeList : public RunWorker {
  Q_OBJECT
 public:
  using RunWorker::RunWorker;
  ~TMakeList() override;
  GatherOutcome Outcome() const { return outcome_.load(); }

 protected:
  void run() override;

 private:
  std::atomic<GatherOutcome> outcome_{GatherOutcome::Completed};
};

// The drive map's reading: the log's readings into the map's track, with
// the map's own reader (every segment read; the map greys those left out).
class TMakeMap : public RunWorker {
  Q_OBJECT
 public:
  using RunWorker::RunWorker;
  ~TMakeMap() override;
  // Read once the thread has finished.
  ReadingOutcome Outcome() const { return outcome_; }
  const ReadingSummary& Summary() const { return summary_; }
  exporting::DriveTrackSink& Track() { return track_; }

 protected:
  void run() override;

 private:
  exporting::DriveTrackSink track_;
  ReadingOutcome outcome_ = ReadingOutcome::Completed;
  ReadingSummary summary_;
};

// "Export..." of the drive map: the log's readings into a GeoPackage,
// GeoJSON, KML or CSV file.
class TExportMap : public RunWorker {
  Q_OBJECT
 public:
  TExportMap(Product& reader, const Settings& snapshot, const exporting::ExportSettings& settings,
             const ReadingOptions& options, ReportSink sink, QObject* parent);
  ~TExportMap() override;
  // Read once the thread has finished: how the run ended, what it wrote,
  // and why the file could not be written (empty when it could).
  ReadingOutcome Outcome() const { return outcome_; }
  const ReadingSummary& Summary() const { return summary_; }
  const std::string& Error() const { return error_; }
  const exporting::ExportSettings& Target() const { return settings_; }

 protected:
  void run() override;

 private:
  const exporting::ExportSettings settings_;
  const ReadingOptions options_;
  ReadingOutcome outcome_ = ReadingOutcome::Completed;
  ReadingSummary summary_;
  std::string error_;
};

}  // namespace morphel::ui
