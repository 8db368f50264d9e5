// The Drive Map window: reading the log on a worker, the receiver choice,
// and "Export..." to the export formats and PNG.

#include "ui/DriveMap.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ConversionRun.h"
#include "products/Product.h"
#include "products/ProductTable.h"
#include "ui/Workers.h"

namespace morphel::ui {

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 640;
constexpr int kGaugeWidth = 160;

QString Words(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TDriveMapForm::TDriveMapForm(FileDialogs& files, MessageBoxes& messages,
                             std::function<const SegmentTable*()> segments, QWidget* parent)
    : QDialog(parent), files_(files), messages_(messages), segments_(std::move(segments)) {
  setObjectName(QStringLiteral("DriveMapForm"));
  setWindowTitle(QString::fromLatin1(kTitle));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Colour by:"), this));
  ReceiverChoice = new QComboBox(this);
  ReceiverChoice->setObjectName(QStringLiteral("ReceiverChoice"));
  top->addWidget(ReceiverChoice);
  top->addStretch(1);
  btnFit = new QPushButton(QStringLiteral("Whole Drive"), this);
  btnFit->setObjectName(QStringLiteral("btnFit"));
  top->addWidget(btnFit);
  btnExport = new QPushButton(QStringLiteral("Export..."), this);
  btnExport->setObjectName(QStringLiteral("btnExport"));
  top->addWidget(btnExport);
  layout->addLayout(top);
  canvas_ = new MapCanvas(this);
  layout->addWidget(canvas_, 1);
  MapReadout = new QLabel(this);
  MapReadout->setObjectName(QStringLiteral("MapReadout"));
  MapReadout->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The line keeps its height while the mouse moves on and off the points.
  MapReadout->setMinimumHeight(MapReadout->fontMetrics().height());
  layout->addWidget(MapReadout);
  auto* bottom = new QHBoxLayout;
  MapStatus = new QLabel(this);
  MapStatus->setObjectName(QStringLiteral("MapStatus"));
  bottom->addWidget(MapStatus, 1);
  MapProgress = new QProgressBar(this);
  MapProgress->setObjectName(QStringLiteral("MapProgress"));
  MapProgress->setRange(0, 100);
  MapProgress->setFixedWidth(kGaugeWidth);
  bottom->addWidget(MapProgress);
  layout->addLayout(bottom);
  resize(kWidth, kHeight);

  FillReceiverChoice(0);
  canvas_->SetLeftOut([this](int segment) { return LeftOut(segment); });
  connect(canvas_, &MapCanvas::hovered, MapReadout, &QLabel::setText);
  connect(ReceiverChoice, &QComboBox::currentIndexChanged, this,
          [this] { canvas_->SetReceiver(ReceiverChoice->currentData().toInt()); });
  connect(btnFit, &QPushButton::clicked, canvas_, &MapCanvas::Fit);
  connect(btnExport, &QPushButton::clicked, this, &TDriveMapForm::btnExportClick);
  SyncStates();
}

TDriveMapForm::~TDriveMapForm() {
  // The runs end before the reader they read with goes away.
  read_.reset();
  export_.reset();
}

bool TDriveMapForm::LeftOut(int segment) const {
  const SegmentTable* table = segments_ ? segments_() : nullptr;
  return table && segment >= 1 && !table->Included(segment - 1);
}

void TDriveMapForm::SegmentsChanged() {
  canvas_->Redraw();
}

void TDriveMapForm::ChooseReceiver(int receiver) {
  const int index = ReceiverChoice->findData(receiver);
  if (index >= 0) ReceiverChoice->setCurrentIndex(index);
}

void TDriveMapForm::FillReceiverChoice(int receivers) {
  const int chosen = ReceiverChoice->currentData().toInt();
  const QSignalBlocker quiet(ReceiverChoice);
  ReceiverChoice->clear();
  ReceiverChoice->addItem(QStringLiteral("Best server"), 0);
  for (int r = 1; r <= receivers; ++r)
    ReceiverChoice->addItem(QStringLiteral("Receiver %1").arg(r), r);
  ReceiverChoice->setCurrentIndex(std::max(0, ReceiverChoice->findData(chosen)));
  canvas_->SetReceiver(ReceiverChoice->currentData().toInt());
}

void TDriveMapForm::SyncStates() {
  btnExport->setEnabled(!reading_ && !exporting_ && reader_ != nullptr);
  ReceiverChoice->setEnabled(!reading_);
}

void TDriveMapForm::Report(MessageKind kind, const QString& text) {
  messages_.Show(this, kind, text);
}

void TDriveMapForm::Load(const Settings& snapshot) {
  pending_ = snapshot;
  if (reading_ && read_) read_->RequestStop();
  StartPending();
}

// One run at a time on the map's reader: a new log is read once the run
// under way has finished.
void TDriveMapForm::StartPending() {
  if (reading_ || exporting_ || !pending_) return;
  snapshot_ = *pending_;
  pending_.reset();
  read_.reset();
  reader_ = CreateReader(snapshot_.InputFormatGroup);
  canvas_->SetTrack({});
  const ProductRow* row = ProductRowFor(snapshot_.InputFormatGroup);
  FillReceiverChoice(row ? row->receivers : 0);
  if (!reader_) {
    MapStatus->setText(QStringLiteral("No log to draw"));
    SyncStates();
    return;
  }
  auto sink = [this](MessageKind kind, const QString& text) { Report(kind, text); };
  read_ = std::make_unique<TMakeMap>(*reader_, snapshot_, sink, nullptr);
  connect(read_.get(), &RunWorker::progressed, MapProgress, &QProgressBar::setValue);
  connect(read_.get(), &QThread::finished, this, &TDriveMapForm::ReadFinished);
  reading_ = true;
  MapProgress->setValue(0);
  MapStatus->setText(QStringLiteral("Reading %1").arg(QFileInfo(Words(Log())).fileName()));
  SyncStates();
  read_->start();
}

void TDriveMapForm::ReadFinished() {
  reading_ = false;
  if (read_ && !pending_) {
    const ReadingSummary& s = read_->Summary();
    if (read_->Outcome() == ReadingOutcome::Completed && !s.stopped) {
      canvas_->SetTrack(std::move(read_->Track().Points()));
      const auto points = static_cast<qlonglong>(canvas_->Track().size());
      QString text = QStringLiteral("%1 places from %2 readings").arg(points).arg(s.readings);
      if (read_->Track().RecordsWithoutFix() > 0)
        text += QStringLiteral("; %1 records without a position fix are not drawn")
                    .arg(read_->Track().RecordsWithoutFix());
      MapStatus->setText(text);
      MapProgress->setValue(100);
    } else {
      MapStatus->setText(QStringLiteral("Not read"));
    }
  }
  SyncStates();
  emit readingFinished();
  StartPending();
}

void TDriveMapForm::btnExportClick() {
  if (reading_ || exporting_ || !reader_) return;
  const QFileInfo log(Words(Log()));
  const std::optional<QString> path = files_.SaveMap(
      this, log.absolutePath() + QLatin1Char('/') + log.completeBaseName() + ".gpkg");
  if (!path) return;
  if (path->endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
    SavePicture(*path);
    return;
  }
  StartExport(*path);
}

void TDriveMapForm::SavePicture(const QString& path) {
  if (!canvas_->grab().save(path, "PNG")) {
    Report(MessageKind::Error, QStringLiteral("The picture cannot be written to %1").arg(path));
  } else {
    MapStatus->setText(QStringLiteral("Map saved to %1").arg(path));
  }
  emit exportFinished();
}

// What the map shows: the strongest reading per receiver and record of the
// receivers drawn, without the segments left out.
void TDriveMapForm::StartExport(const QString& path) {
  const std::optional<exporting::ExportFormat> format =
      exporting::ExportFormatForPath(path.toStdString());
  if (!format) {
    Report(MessageKind::Warning,
           QStringLiteral("%1: end the name in .gpkg, .geojson, .kml, .csv or .png").arg(path));
    return;
  }
  if (QFileInfo(path).canonicalFilePath() == QFileInfo(Words(Log())).canonicalFilePath()) {
    Report(MessageKind::Error, QString::fromLatin1(ConversionRun::kOutputIsInput));
    return;
  }
  reader_->SegmentNodes.Clear();
  if (const SegmentTable* table = segments_ ? segments_() : nullptr) {
    for (int i = 0; i < table->Count() && i < SegmentTable::kMaxSegments; ++i) {
      reader_->SegmentNodes.Set(i, table->Type(i), table->Caption(i));
      reader_->SegmentNodes.SetState(i, table->State(i));
    }
  }
  ReadingOptions options;
  options.bestServer = true;
  if (const int receiver = ReceiverChoice->currentData().toInt(); receiver != 0)
    for (int r = 1; r <= 4; ++r) options.receivers[static_cast<size_t>(r - 1)] = r == receiver;
  exporting::ExportSettings settings{*format, path.toStdString()};
  auto sink = [this](MessageKind kind, const QString& text) { Report(kind, text); };
  export_ = std::make_unique<TExportMap>(*reader_, snapshot_, settings, options, sink, nullptr);
  connect(export_.get(), &RunWorker::progressed, MapProgress, &QProgressBar::setValue);
  connect(export_.get(), &QThread::finished, this, &TDriveMapForm::ExportFinished);
  exporting_ = true;
  MapProgress->setValue(0);
  MapStatus->setText(QStringLiteral("Exporting to %1").arg(QFileInfo(path).fileName()));
  SyncStates();
  export_->start();
}

void TDriveMapForm::ExportFinished() {
  exporting_ = false;
  if (export_) {
    const ReadingSummary& s = export_->Summary();
    const QString path = Words(export_->Target().path);
    if (!export_->Error().empty()) {
      Report(MessageKind::Error, Words(export_->Error()));
      MapStatus->setText(QStringLiteral("Not exported"));
    } else if (export_->Outcome() == ReadingOutcome::Completed) {
      MapStatus->setText(QStringLiteral("%1 readings written to %2, %3 without a position fix")
                             .arg(s.readings)
                             .arg(path)
                             .arg(s.withoutFix));
    }
  }
  SyncStates();
  emit exportFinished();
  StartPending();
}

}  // namespace morphel::ui
