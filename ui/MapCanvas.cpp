// The drive map's canvas: route and points on a plain longitude/latitude
// plane, the legend, the scale bar, zoom, pan and the hover readout.

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "export/Cells.h"
#include "export/Export.h"
#include "ui/DriveMap.h"

namespace morphel::ui {

namespace {

constexpr double kMetresPerDegree = 111195.0;  // of latitude, on the mean sphere
constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;
constexpr double kFitMargin = 0.9;        // share of the widget the whole drive takes
constexpr double kSmallestSpan = 0.0005;  // degrees shown at the least (a drive standing still)
constexpr double kWheelStep = 120.0;      // angle delta of one notch of a mouse wheel
constexpr double kZoomPerNotch = 1.25;
constexpr double kMinPixelsPerDegree = 1.0;
constexpr double kMaxPixelsPerDegree = 1e9;
constexpr double kHoverPixels = 6.0;
constexpr int kScaleBarPixels = 120;  // the longest the bar is drawn
constexpr int kPad = 8;
constexpr QRgb kBackground = 0xFFF6F6F2;
constexpr QRgb kRouteColour = 0xFF5A78B4;
constexpr QRgb kNoReadingColour = 0xFF808080;

QColor BandColour(const exporting::KmlBands& bands, size_t band) {
  return QColor(QString::fromStdString(bands.Colour(band)));
}

}  // namespace

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent), bands_(exporting::DefaultBandEdges()) {
  setObjectName(QStringLiteral("MapCanvas"));
  setMouseTracking(true);
  setMinimumSize(320, 240);
  setCursor(Qt::OpenHandCursor);
}

void MapCanvas::SetTrack(std::vector<exporting::TrackPoint> points) {
  points_ = std::move(points);
  hover_ = -1;
  emit hovered(QString());
  Fit();
}

void MapCanvas::SetReceiver(int receiver) {
  receiver_ = receiver;
  Redraw();
  if (hover_ >= 0) emit hovered(Readout(hover_));
}

void MapCanvas::SetLeftOut(std::function<bool(int)> leftOut) {
  leftOut_ = std::move(leftOut);
  Redraw();
}

void MapCanvas::Redraw() {
  stale_ = true;
  update();
}

void MapCanvas::Fit() {
  double west = 180, east = -180, south = 90, north = -90;
  for (const auto& p : points_) {
    west = std::min(west, p.longitude), east = std::max(east, p.longitude);
    south = std::min(south, p.latitude), north = std::max(north, p.latitude);
  }
  if (points_.empty()) west = east = south = north = 0;
  centreLongitude_ = (west + east) / 2;
  centreLatitude_ = (south + north) / 2;
  lonScale_ = std::max(0.01, std::cos(centreLatitude_ * kRadiansPerDegree));
  const double spanX = std::max((east - west) * lonScale_, kSmallestSpan);
  const double spanY = std::max(north - south, kSmallestSpan);
  pixelsPerDegree_ = kFitMargin * std::min(width() / spanX, height() / spanY);
  pixelsPerDegree_ = std::clamp(pixelsPerDegree_, kMinPixelsPerDegree, kMaxPixelsPerDegree);
  Redraw();
}

void MapCanvas::ZoomAt(QPointF at, double factor) {
  // The place under `at` before and after the zoom is the same.
  const double lon = centreLongitude_ + (at.x() - width() / 2.0) / (pixelsPerDegree_ * lonScale_);
  const double lat = centreLatitude_ - (at.y() - height() / 2.0) / pixelsPerDegree_;
  pixelsPerDegree_ =
      std::clamp(pixelsPerDegree_ * factor, kMinPixelsPerDegree, kMaxPixelsPerDegree);
  centreLongitude_ = lon - (at.x() - width() / 2.0) / (pixelsPerDegree_ * lonScale_);
  centreLatitude_ = lat + (at.y() - height() / 2.0) / pixelsPerDegree_;
  Redraw();
}

QPointF MapCanvas::ScreenOf(const exporting::TrackPoint& p) const {
  return {width() / 2.0 + (p.longitude - centreLongitude_) * pixelsPerDegree_ * lonScale_,
          height() / 2.0 - (p.latitude - centreLatitude_) * pixelsPerDegree_};
}

int MapCanvas::PointAt(QPointF pos) const {
  int nearest = -1;
  double best = kHoverPixels * kHoverPixels;
  for (size_t i = 0; i < points_.size(); ++i) {
    const QPointF d = ScreenOf(points_[i]) - pos;
    const double squared = d.x() * d.x() + d.y() * d.y();
    if (squared <= best) {
      best = squared;
      nearest = static_cast<int>(i);
    }
  }
  return nearest;
}

const exporting::TrackReading* MapCanvas::Shown(const exporting::TrackPoint& p,
                                                int* receiver) const {
  if (receiver_ != 0) *receiver = receiver_;
  return p.Strongest(receiver_, receiver);
}

QString MapCanvas::Readout(int index) const {
  if (index < 0 || index >= static_cast<int>(points_.size())) return {};
  const exporting::TrackPoint& p = points_[static_cast<size_t>(index)];
  const std::string time = exporting::IsoTime(p.time);
  QString text = QStringLiteral("%1  %2, %3")
                     .arg(time.empty() ? QStringLiteral("no time") : QString::fromStdString(time))
                     .arg(p.latitude, 0, 'f', 6)
                     .arg(p.longitude, 0, 'f', 6);
  int receiver = receiver_;
  if (const exporting::TrackReading* r = Shown(p, &receiver)) {
    text += QStringLiteral("  receiver %1  channel %2  %3 dBm")
                .arg(receiver)
                .arg(r->channel)
                .arg(r->rssiDbm);
  } else {
    text += receiver_ == 0 ? QStringLiteral("  no level")
                           : QStringLiteral("  receiver %1: no level").arg(receiver_);
  }
  if (LeftOut(p.segment)) text += QStringLiteral("  (segment %1 left out)").arg(p.segment);
  return text;
}

QColor MapCanvas::ColourOf(const exporting::TrackPoint& p) const {
  if (LeftOut(p.segment)) return QColor::fromRgba(kLeftOutColour);
  int receiver = 0;
  const exporting::TrackReading* r = Shown(p, &receiver);
  return r ? BandColour(bands_, bands_.BandOf(r->rssiDbm)) : QColor::fromRgba(kNoReadingColour);
}

void MapCanvas::Render() {
  picture_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
  picture_.fill(QColor::fromRgba(kBackground));
  QPainter painter(&picture_);
  painter.setRenderHint(QPainter::Antialiasing);
  // The route, a thin line through the points in file order (grey where
  // its segment is left out).
  for (size_t i = 1; i < points_.size(); ++i) {
    const auto& a = points_[i - 1];
    const auto& b = points_[i];
    const bool grey = LeftOut(a.segment) || LeftOut(b.segment);
    painter.setPen(QPen(QColor::fromRgba(grey ? kLeftOutColour : kRouteColour), 1.5));
    painter.drawLine(ScreenOf(a), ScreenOf(b));
  }
  // Points without a reading for the receiver chosen stay on the route only.
  painter.setPen(Qt::NoPen);
  int receiver = 0;
  for (const auto& p : points_) {
    if (!LeftOut(p.segment) && !Shown(p, &receiver)) continue;
    painter.setBrush(ColourOf(p));
    painter.drawEllipse(ScreenOf(p), kPointRadius, kPointRadius);
  }
  stale_ = false;
}

double MapCanvas::MetresPerPixel() const {
  return kMetresPerDegree / pixelsPerDegree_;
}

// The longest of 1, 2, 5 times a power of ten that fits the bar.
double MapCanvas::ScaleBarMetres() const {
  const double most = MetresPerPixel() * kScaleBarPixels;
  double step = std::pow(10.0, std::floor(std::log10(most)));
  for (double f : {5.0, 2.0, 1.0})
    if (f * step <= most) return f * step;
  return step;
}

QString MapCanvas::DistanceText(double metres) {
  if (metres >= 1000) return QStringLiteral("%1 km").arg(metres / 1000, 0, 'g', 6);
  if (metres >= 1) return QStringLiteral("%1 m").arg(metres, 0, 'g', 6);
  return QStringLiteral("%1 cm").arg(metres * 100, 0, 'g', 6);
}

void MapCanvas::DrawScaleBar(QPainter& painter) const {
  const double metres = ScaleBarMetres();
  const int length = static_cast<int>(std::lround(metres / MetresPerPixel()));
  const int y = height() - kPad - 4;
  const int x = kPad;
  painter.setPen(QPen(Qt::black, 2));
  painter.drawLine(x, y, x + length, y);
  painter.drawLine(x, y - 5, x, y);
  painter.drawLine(x + length, y - 5, x + length, y);
  painter.drawText(QPoint(x, y - 8), DistanceText(metres));
}

void MapCanvas::DrawLegend(QPainter& painter) const {
  const QFontMetrics fm = painter.fontMetrics();
  std::vector<std::pair<QColor, QString>> rows;
  for (size_t band = 0; band < bands_.BandCount(); ++band)
    rows.emplace_back(BandColour(bands_, band), QString::fromStdString(bands_.BandText(band)));
  rows.emplace_back(QColor::fromRgba(kLeftOutColour), QStringLiteral("segment left out"));
  const QString title = receiver_ == 0 ? QStringLiteral("RSSI, best server")
                                       : QStringLiteral("RSSI, receiver %1").arg(receiver_);
  int textWidth = fm.horizontalAdvance(title);
  for (const auto& row : rows) textWidth = std::max(textWidth, fm.horizontalAdvance(row.second));
  const int line = fm.height() + 2;
  const int swatch = fm.height() - 4;
  const QRect box(width() - kPad - textWidth - swatch - 3 * kPad, kPad,
                  textWidth + swatch + 3 * kPad, line * static_cast<int>(rows.size() + 1) + kPad);
  painter.setPen(QColor(0x90, 0x90, 0x90));
  painter.setBrush(QColor(255, 255, 255, 230));
  painter.drawRect(box);
  painter.setPen(Qt::black);
  int y = box.top() + kPad / 2;
  painter.drawText(QRect(box.left() + kPad, y, textWidth + swatch + kPad, line),
                   Qt::AlignVCenter | Qt::AlignLeft, title);
  for (const auto& [colour, text] : rows) {
    y += line;
    painter.fillRect(QRect(box.left() + kPad, y + 2, swatch, swatch), colour);
    painter.drawText(QRect(box.left() + 2 * kPad + swatch, y, textWidth, line),
                     Qt::AlignVCenter | Qt::AlignLeft, text);
  }
}

void MapCanvas::paintEvent(QPaintEvent*) {
  if (stale_ || picture_.size() != size()) Render();
  QPainter painter(this);
  painter.drawImage(0, 0, picture_);
  painter.setRenderHint(QPainter::Antialiasing);
  if (points_.empty()) {
    painter.setPen(Qt::darkGray);
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No position fix to draw"));
  }
  if (hover_ >= 0 && hover_ < static_cast<int>(points_.size())) {
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(ScreenOf(points_[static_cast<size_t>(hover_)]), kPointRadius + 3,
                        kPointRadius + 3);
  }
  DrawLegend(painter);
  DrawScaleBar(painter);
}

void MapCanvas::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Redraw();
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / kWheelStep;
  if (notches != 0) ZoomAt(event->position(), std::pow(kZoomPerNotch, notches));
  event->accept();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragFrom_ = event->position();
  setCursor(Qt::ClosedHandCursor);
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (dragFrom_ && (event->buttons() & Qt::LeftButton)) {
    const QPointF d = event->position() - *dragFrom_;
    dragFrom_ = event->position();
    centreLongitude_ -= d.x() / (pixelsPerDegree_ * lonScale_);
    centreLatitude_ += d.y() / pixelsPerDegree_;
    Redraw();
    return;
  }
  Hover(PointAt(event->position()));
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  dragFrom_.reset();
  setCursor(Qt::OpenHandCursor);
}

void MapCanvas::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  Hover(-1);
}

void MapCanvas::Hover(int index) {
  if (index == hover_) return;
  hover_ = index;
  emit hovered(Readout(index));
  update();
}

}  // namespace morphel::ui
