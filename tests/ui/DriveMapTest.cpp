// The Drive Map window through its real widgets, offscreen: the route drawn
// with its points in the colour of their RSSI band, wheel zoom about the
// mouse, drag pan, the hover readout, a segment left out in the index tree
// drawn grey, the receiver choice, and "Export..." to a table, a map file
// and a picture.

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QWheelEvent>
#include <cmath>

#include "export/Export.h"
#include "export/KmlStyle.h"
#include "tests/TestSupport.h"
#include "tests/ui/GuiTestSupport.h"
#include "ui/DriveMap.h"

namespace morphel::ui::test {
namespace {

using morphel::test::ReadFile;
using morphel::test::TempPath;

// Opens the map of the log the window has selected and waits for it.
TDriveMapForm* OpenMap(Window& w) {
  TDriveMapForm* map = w.form->DriveMapWindow();
  QSignalSpy read(map, &TDriveMapForm::readingFinished);
  auto* action = w.form->findChild<QAction*>(QStringLiteral("DriveMap1"));
  EXPECT_NE(action, nullptr);
  if (!action) return map;
  action->trigger();
  EXPECT_TRUE(read.wait(kRunTimeoutMs));
  map->resize(900, 640);
  QCoreApplication::processEvents();
  return map;
}

QColor PixelAt(MapCanvas* canvas, QPointF at) {
  const QImage image = canvas->grab().toImage();
  return image.pixelColor(static_cast<int>(std::floor(at.x())),
                          static_cast<int>(std::floor(at.y())));
}

// A point with a reading, drawn clear of the legend (top right), the scale
// bar (bottom left) and of the points drawn after it: the last such one.
int ClearPoint(const MapCanvas* canvas) {
  const auto& points = canvas->Track();
  const QRectF free(QPointF(60, 60), QSizeF(canvas->width() - 320.0, canvas->height() - 120.0));
  const double reach = MapCanvas::kPointRadius + 1.5;
  for (size_t i = points.size(); i-- > 0;) {
    const QPointF at = canvas->ScreenOf(points[i]);
    if (!free.contains(at) || !points[i].Strongest(0)) continue;
    bool covered = false;
    for (size_t j = i + 1; j < points.size() && !covered; ++j) {
      const QPointF d = canvas->ScreenOf(points[j]) - at;
      covered = d.x() * d.x() + d.y() * d.y() < reach * reach;
    }
    if (!covered) return static_cast<int>(i);
  }
  return -1;
}

QColor BandColour(int rssiDbm) {
  const exporting::KmlBands bands(exporting::DefaultBandEdges());
  return QColor(QString::fromStdString(bands.Colour(bands.BandOf(rssiDbm))));
}

void SendWheel(QWidget* widget, QPointF at, int delta) {
  QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(widget, &wheel);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

TEST(DriveMap, DrawsTheDriveColouredByRssiWithZoomPanReadoutAndGreySegments) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "map.tlf", 60));
  TDriveMapForm* map = OpenMap(w);
  ASSERT_TRUE(map->isVisible());
  MapCanvas* canvas = map->Canvas();
  ASSERT_GT(canvas->Track().size(), 20u);
  EXPECT_EQ(w.Find<QProgressBar>("MapProgress")->value(), 100);
  const int i = ClearPoint(canvas);
  ASSERT_GE(i, 0);
  const exporting::TrackPoint& point = canvas->Track()[static_cast<size_t>(i)];

  // Best server: the strongest reading of any receiver there.
  const exporting::TrackReading* best = point.Strongest(0);
  ASSERT_NE(best, nullptr);
  EXPECT_EQ(PixelAt(canvas, canvas->ScreenOf(point)), BandColour(best->rssiDbm));

  // The readout of the point under the mouse.
  const QPointF at = canvas->ScreenOf(point);
  SendMouse(canvas, QEvent::MouseMove, at, Qt::NoButton);
  const QString readout = w.Find<QLabel>("MapReadout")->text();
  EXPECT_TRUE(readout.startsWith(QString::fromStdString(exporting::IsoTime(point.time))))
      << readout.toStdString();
  for (const QString& piece :
       {QString::number(point.latitude, 'f', 6), QString::number(point.longitude, 'f', 6),
        QStringLiteral("channel %1").arg(best->channel),
        QStringLiteral("%1 dBm").arg(best->rssiDbm)})
    EXPECT_TRUE(readout.contains(piece)) << piece.toStdString() << " in " << readout.toStdString();

  // A notch of the wheel zooms in about the mouse: the point stays put.
  const double zoom = canvas->PixelsPerDegree();
  SendWheel(canvas, at, 120);
  EXPECT_NEAR(canvas->PixelsPerDegree(), zoom * 1.25, zoom * 1e-9);
  EXPECT_NEAR(canvas->ScreenOf(point).x(), at.x(), 0.01);
  EXPECT_NEAR(canvas->ScreenOf(point).y(), at.y(), 0.01);
  SendWheel(canvas, at, -120);
  EXPECT_NEAR(canvas->PixelsPerDegree(), zoom, zoom * 1e-9);

  // A drag moves the map with the mouse.
  SendMouse(canvas, QEvent::MouseButtonPress, at, Qt::LeftButton);
  SendMouse(canvas, QEvent::MouseMove, at + QPointF(30, 20), Qt::LeftButton);
  SendMouse(canvas, QEvent::MouseButtonRelease, at + QPointF(30, 20), Qt::NoButton);
  EXPECT_NEAR(canvas->ScreenOf(point).x(), at.x() + 30, 0.01);
  EXPECT_NEAR(canvas->ScreenOf(point).y(), at.y() + 20, 0.01);
  w.Click("btnFit");
  EXPECT_NEAR(canvas->ScreenOf(point).x(), at.x(), 0.01);

  // Its segment left out in the index tree: grey, and the readout says so.
  QTreeWidgetItem* node = SegmentNode(w.Find<QTreeWidget>("tvIndex"), point.segment - 1);
  ASSERT_NE(node, nullptr);
  node->setCheckState(0, Qt::Unchecked);
  EXPECT_EQ(PixelAt(canvas, at), QColor::fromRgba(MapCanvas::kLeftOutColour));
  SendMouse(canvas, QEvent::MouseMove, at + QPointF(200, 200), Qt::NoButton);
  SendMouse(canvas, QEvent::MouseMove, at, Qt::NoButton);
  EXPECT_TRUE(w.Find<QLabel>("MapReadout")
                  ->text()
                  .contains(QStringLiteral("(segment %1 left out)").arg(point.segment)));
  node->setCheckState(0, Qt::Checked);
  EXPECT_EQ(PixelAt(canvas, at), BandColour(best->rssiDbm));

  // One receiver chosen: its own strongest reading colours the point.
  auto* choice = w.Find<QComboBox>("ReceiverChoice");
  ASSERT_EQ(choice->count(), 5);  // best server and the Tolvan's four receivers
  for (int r = 1; r <= 4; ++r) {
    choice->setCurrentIndex(r);
    const exporting::TrackReading* own = point.Strongest(r);
    if (own) {
      EXPECT_EQ(PixelAt(canvas, at), BandColour(own->rssiDbm)) << "receiver " << r;
    }
  }
}

TEST(DriveMap, ExportsItsReadingsAndItsPicture) {
  Window w;
  w.BrowseAndIndex(SampleLog("zev-card", "map-export.bin", 40));
  TDriveMapForm* map = OpenMap(w);
  ASSERT_FALSE(map->Canvas()->Track().empty());
  const struct {
    std::string name, head;
  } files[] = {{"map.csv", "time,clock,latitude,longitude,"},
               {"map.geojson", "{\n\"type\": \"FeatureCollection\""},
               {"map.png", "\x89PNG"}};
  QString csvStatus;
  for (const auto& f : files) {
    QSignalSpy done(map, &TDriveMapForm::exportFinished);
    w.files.maps.push_back(QString::fromStdString(TempPath(f.name)));
    w.Click("btnExport");
    if (done.isEmpty()) {
      ASSERT_TRUE(done.wait(kRunTimeoutMs)) << f.name;
    }
    EXPECT_EQ(ReadFile(TempPath(f.name)).substr(0, f.head.size()), f.head) << f.name;
    ASSERT_TRUE(w.messages.shown.empty()) << w.messages.shown.front().second.toStdString();
    if (f.name == "map.csv") csvStatus = w.Find<QLabel>("MapStatus")->text();
  }
  // "N readings written to PATH, ...": a row each.
  const std::string csv = ReadFile(TempPath("map.csv"));
  EXPECT_TRUE(csvStatus.contains(QStringLiteral("readings written to ") +
                                 QString::fromStdString(TempPath("map.csv"))))
      << csvStatus.toStdString();
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n') - 1,
            csvStatus.section(QLatin1Char(' '), 0, 0).toLongLong());
  EXPECT_TRUE(w.Find<QLabel>("MapStatus")->text().startsWith(QStringLiteral("Map saved to")));
}

// A map left open follows the log chosen next: it reads the new log (its
// own receivers in the choice, its own drive) and never shows the old one's
// points under the new name.
TEST(DriveMap, AnOpenMapFollowsTheNextLogChosen) {
  Window w;
  w.BrowseAndIndex(SampleLog("tolvan", "first-map.tlf", 60));
  TDriveMapForm* map = OpenMap(w);
  ASSERT_TRUE(map->isVisible());
  const std::vector<exporting::TrackPoint> first = map->Canvas()->Track();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(w.Find<QComboBox>("ReceiverChoice")->count(), 5);

  QSignalSpy read(map, &TDriveMapForm::readingFinished);
  const std::string next = SampleLog("zev-card", "next-map.bin", 40);
  w.BrowseAndIndex(next);
  if (read.isEmpty()) {
    ASSERT_TRUE(read.wait(kRunTimeoutMs));
  }
  EXPECT_EQ(map->Log(), w.form->Model().GetSettings().InputFilename);
  EXPECT_NE(map->Log().find("next-map.bin"), std::string::npos) << map->Log();
  const std::vector<exporting::TrackPoint>& now = map->Canvas()->Track();
  ASSERT_FALSE(now.empty());
  // The Zev PC card has one receiver: best server and receiver 1.
  EXPECT_EQ(w.Find<QComboBox>("ReceiverChoice")->count(), 2);
  for (const exporting::TrackPoint& p : now)
    for (int r = 2; r <= 4; ++r) EXPECT_FALSE(p.strongest[static_cast<size_t>(r - 1)].present);
  EXPECT_EQ(w.Find<QProgressBar>("MapProgress")->value(), 100);

  // Closed, it reads nothing when another log is chosen; opened again it
  // shows that log.
  map->hide();
  QSignalSpy idle(map, &TDriveMapForm::readingFinished);
  w.BrowseAndIndex(SampleLog("tolvan", "third-map.tlf", 30));
  QCoreApplication::processEvents();
  EXPECT_TRUE(idle.isEmpty());
  OpenMap(w);
  EXPECT_NE(map->Log().find("third-map.tlf"), std::string::npos) << map->Log();
}

TEST(DriveMap, WithoutALogAsksForOneFirst) {
  Window w;
  auto* action = w.form->findChild<QAction*>(QStringLiteral("DriveMap1"));
  ASSERT_NE(action, nullptr);
  action->trigger();
  EXPECT_EQ(w.messages.Count(QString::fromLatin1(TMainForm::kChooseInputFirst)), 1);
  EXPECT_FALSE(w.form->DriveMapWindow()->isVisible());
}

}  // namespace
}  // namespace morphel::ui::test
