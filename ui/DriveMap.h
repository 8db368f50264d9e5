#pragma once
// The "Drive Map" window (Tools menu): the route of the current log on a
// plain longitude/latitude canvas (no map tiles), its points coloured by the
// RSSI of a chosen receiver or of the best server, a colour legend and a
// scale bar, wheel zoom and drag pan, a readout of the point under the mouse,
// and the segments left out in the index tree in grey. The log is read on a
// worker with the map's own reader, and "Export..." writes the readings to
// the export formats or the map to a PNG picture.

#include <QDialog>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/SegmentTable.h"
#include "core/Settings.h"
#include "export/DriveTrack.h"
#include "export/KmlStyle.h"
#include "ui/Seams.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace morphel {
class Product;
}

namespace morphel::ui {

class TExportMap;
class TMakeMap;

class MapCanvas : public QWidget {
  Q_OBJECT
 public:
  // The colour of the points of segments left out, and of the route through them.
  static constexpr QRgb kLeftOutColour = 0xFFC8C8C8;
  static constexpr int kPointRadius = 3;

  explicit MapCanvas(QWidget* parent);

  // The drive to draw; the view is fitted to it.
  void SetTrack(std::vector<exporting::TrackPoint> points);
  const std::vector<exporting::TrackPoint>& Track() const { return points_; }
  // 0: the strongest reading of any receiver at each point (best server);
  // 1..4: the strongest of that receiver.
  void SetReceiver(int receiver);
  // Asked at every drawing whether a segment (from 1) is left out.
  void SetLeftOut(std::function<bool(int segment)> leftOut);
  // Draws afresh (the index tree's check marks changed).
  void Redraw();
  // Shows the whole drive.
  void Fit();
  // Zooms by a factor about a place of the widget, which stays where it is.
  void ZoomAt(QPointF at, double factor);
  double PixelsPerDegree() const { return pixelsPerDegree_; }
  // Where a point of the track is drawn.
  QPointF ScreenOf(const exporting::TrackPoint& p) const;
  // The point drawn nearest a place of the widget, within a few pixels; -1 none.
  int PointAt(QPointF pos) const;
  // What the readout says of a point: time, position, receiver, channel, RSSI.
  QString Readout(int index) const;
  // The scale bar's length in metres and its words ("200 m", "1 km").
  double ScaleBarMetres() const;
  static QString DistanceText(double metres);

 signals:
  // The readout of the point under the mouse (empty when there is none).
  void hovered(const QString& readout);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  bool LeftOut(int segment) const { return leftOut_ && leftOut_(segment); }
  // The reading a point shows with the receiver chosen; nullptr when none.
  const exporting::TrackReading* Shown(const exporting::TrackPoint& p, int* receiver) const;
  QColor ColourOf(const exporting::TrackPoint& p) const;
  // Route and points into the cached picture.
  void Render();
  void DrawLegend(QPainter& painter) const;
  void DrawScaleBar(QPainter& painter) const;
  void Hover(int index);
  double MetresPerPixel() const;

  std::vector<exporting::TrackPoint> points_;
  int receiver_ = 0;
  std::function<bool(int)> leftOut_;
  exporting::KmlBands bands_;
  // The view: the place at the widget's centre and the zoom. A degree of
  // longitude is drawn cos(latitude) as wide as one of latitude, so that
  // distances look alike in both directions.
  double centreLongitude_ = 0, centreLatitude_ = 0;
  double pixelsPerDegree_ = 1;
  double lonScale_ = 1;
  QImage picture_;
  bool stale_ = true;
  int hover_ = -1;
  std::optional<QPointF> dragFrom_;
};

class TDriveMapForm : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kTitle = "Drive Map";

  // segments answers the index tree's segment table of the log shown (or
  // nullptr); it is asked at every drawing and at every export.
  TDriveMapForm(FileDialogs& files, MessageBoxes& messages,
                std::function<const SegmentTable*()> segments, QWidget* parent);
  ~TDriveMapForm() override;

  // Reads the log the snapshot names (InputFilename, InputFormatGroup) on a
  // worker; a read under way is stopped and the new one follows it.
  void Load(const Settings& snapshot);
  // The log shown (or being read).
  const std::string& Log() const { return snapshot_.InputFilename; }
  bool Reading() const { return reading_; }
  bool Exporting() const { return exporting_; }
  MapCanvas* Canvas() const { return canvas_; }
  // The index tree's check marks changed.
  void SegmentsChanged();
  // Colours the points by a receiver (1..4) or the best server (0), as the
  // choice above the map does.
  void ChooseReceiver(int receiver);
  void btnExportClick();

 signals:
  void readingFinished();
  void exportFinished();

 private:
  void StartPending();
  void ReadFinished();
  void ExportFinished();
  void FillReceiverChoice(int receivers);
  void SyncStates();
  bool LeftOut(int segment) const;
  void SavePicture(const QString& path);
  void StartExport(const QString& path);
  void Report(MessageKind kind, const QString& text);

  FileDialogs& files_;
  MessageBoxes& messages_;
  std::function<const SegmentTable*()> segments_;
  QComboBox* ReceiverChoice;
  QPushButton* btnFit;
  QPushButton* btnExport;
  MapCanvas* canvas_;
  QLabel* MapReadout;
  QLabel* MapStatus;
  QProgressBar* MapProgress;

  Settings snapshot_;
  std::optional<Settings> pending_;
  std::unique_ptr<Product> reader_;  // the map's own, never the window's
  std::unique_ptr<TMakeMap> read_;
  std::unique_ptr<TExportMap> export_;
  bool reading_ = false;
  bool exporting_ = false;
};

}  // namespace morphel::ui
