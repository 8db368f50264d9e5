#include "ui/Look.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleHints>
#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <QtGlobal>
#include <cmath>

#ifdef MORPHEL_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#endif

namespace morphel::ui {

namespace {

// Text over the gauge's fill: the contrast asked of body text.
constexpr double kReadableContrast = 4.5;
// The Fusion gauge fills with a gradient from a lighter shade of the
// highlight colour down to the colour itself.
constexpr int kFillLighterPercent = 120;
constexpr int kShadeStepPercent = 108;
constexpr int kMaxShadeSteps = 40;
// The settings portal answers at once or not at all; the window does not
// wait longer than this for it at start-up.
constexpr int kPortalTimeoutMs = 300;

double Channel(double c) {
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(const QColor& c) {
  return 0.2126 * Channel(c.redF()) + 0.7152 * Channel(c.greenF()) + 0.0722 * Channel(c.blueF());
}

double FillContrast(const QColor& fill, const QColor& text) {
  return std::min(ContrastRatio(fill, text),
                  ContrastRatio(fill.lighter(kFillLighterPercent), text));
}

ColorScheme PortalColorScheme() {
#ifdef MORPHEL_HAVE_DBUS
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return ColorScheme::Unknown;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.portal.Desktop"),
      QStringLiteral("/org/freedesktop/portal/desktop"),
      QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
  call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
  const QDBusMessage reply = bus.call(call, QDBus::Block, kPortalTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
    return ColorScheme::Unknown;
  // The value comes wrapped in one or two variants: 1 prefers dark, 2 light.
  QVariant value = reply.arguments().constFirst();
  while (value.canConvert<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
  bool ok = false;
  const uint scheme = value.toUInt(&ok);
  if (ok && scheme == 1) return ColorScheme::Dark;
  if (ok && scheme == 2) return ColorScheme::Light;
#endif
  return ColorScheme::Unknown;
}

ColorScheme ToolkitColorScheme() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
  switch (QGuiApplication::styleHints()->colorScheme()) {
    case Qt::ColorScheme::Dark:
      return ColorScheme::Dark;
    case Qt::ColorScheme::Light:
      return ColorScheme::Light;
    default:
      break;
  }
#endif
  return ColorScheme::Unknown;
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a);
  const double lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDark(const QPalette& palette) {
  return Luminance(palette.color(QPalette::Window)) <
         Luminance(palette.color(QPalette::WindowText));
}

ColorScheme ChooseColorScheme(const ColorHints& hints) {
  if (hints.toolkit != ColorScheme::Unknown) return hints.toolkit;
  if (hints.portal != ColorScheme::Unknown) return hints.portal;
  if (hints.gtkTheme.endsWith(QStringLiteral(":dark"), Qt::CaseInsensitive) ||
      hints.gtkTheme.endsWith(QStringLiteral("-dark"), Qt::CaseInsensitive))
    return ColorScheme::Dark;
  return IsDark(hints.platform) ? ColorScheme::Dark : ColorScheme::Light;
}

ColorHints DesktopColorHints(const QPalette& platform) {
  ColorHints hints;
  hints.toolkit = ToolkitColorScheme();
  if (hints.toolkit == ColorScheme::Unknown) hints.portal = PortalColorScheme();
  hints.gtkTheme = qEnvironmentVariable("GTK_THEME");
  hints.platform = platform;
  return hints;
}

QPalette DarkPalette() {
  const QColor window(0x35, 0x35, 0x35);
  const QColor base(0x2a, 0x2a, 0x2a);
  const QColor text(0xee, 0xee, 0xee);
  const QColor disabled(0x80, 0x80, 0x80);
  QPalette p(window);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, QColor(0x40, 0x40, 0x40));
  p.setColor(QPalette::ToolTipBase, window);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, QColor(0xa0, 0xa0, 0xa0));
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(0xff, 0x60, 0x60));
  p.setColor(QPalette::Link, QColor(0x7a, 0xb8, 0xff));
  p.setColor(QPalette::LinkVisited, QColor(0xb0, 0x9a, 0xff));
  p.setColor(QPalette::Highlight, QColor(0x1d, 0x5f, 0xa8));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Light, window.lighter(150));
  p.setColor(QPalette::Midlight, window.lighter(125));
  p.setColor(QPalette::Mid, window.darker(120));
  p.setColor(QPalette::Dark, window.darker(150));
  p.setColor(QPalette::Shadow, Qt::black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
  p.setColor(QPalette::Disabled, QPalette::HighlightedText, disabled);
  return p;
}

QPalette PaletteFor(ColorScheme scheme, const QPalette& platform, const QPalette& light) {
  const bool dark = scheme == ColorScheme::Dark;
  if (IsDark(platform) == dark) return platform;
  return dark ? DarkPalette() : light;
}

QPalette ReadableGaugePalette(const QPalette& palette) {
  QPalette readable = palette;
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    QColor fill = palette.color(group, QPalette::Highlight);
    const QColor text = palette.color(group, QPalette::HighlightedText);
    // Light text wants a darker fill, dark text a lighter one.
    const bool darken = Luminance(text) > 0.5;
    for (int step = 0; step < kMaxShadeSteps && FillContrast(fill, text) < kReadableContrast;
         ++step)
      fill = darken ? fill.darker(kShadeStepPercent) : fill.lighter(kShadeStepPercent);
    readable.setColor(group, QPalette::Highlight, fill);
  }
  return readable;
}

void ReadableGauge::paintEvent(QPaintEvent* /*event*/) {
  QStylePainter painter(this);
  QStyleOptionProgressBar option;
  initStyleOption(&option);
  option.palette = ReadableGaugePalette(option.palette);
  painter.drawControl(QStyle::CE_ProgressBar, option);
}

void ApplyDesktopLook(QApplication& app) {
  const QPalette platform = QApplication::palette();
  QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
  if (!fusion) return;
  const QPalette light = fusion->standardPalette();
  QApplication::setStyle(fusion);
  const ColorScheme scheme = ChooseColorScheme(DesktopColorHints(platform));
  app.setPalette(PaletteFor(scheme, platform, light));
}

}  // namespace morphel::ui
