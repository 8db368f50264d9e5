#pragma once
// The window follows the desktop it runs on: the Fusion style on every
// platform, the desktop's own font, and a light or dark palette after the
// desktop's colour setting.

#include <QColor>
#include <QPalette>
#include <QProgressBar>
#include <QString>

class QApplication;

namespace morphel::ui {

enum class ColorScheme { Unknown, Light, Dark };

// Where the desktop's colour setting can be read, most direct first.
struct ColorHints {
  ColorScheme toolkit = ColorScheme::Unknown;  // Qt's own hint (newer Qt versions)
  ColorScheme portal = ColorScheme::Unknown;   // the freedesktop appearance setting
  QString gtkTheme;                            // GTK_THEME, e.g. "Adwaita:dark"
  QPalette platform;                           // the palette the platform integration gives
};

// The first hint that says something; a dark platform palette counts as dark.
ColorScheme ChooseColorScheme(const ColorHints& hints);
// The hints of the running desktop.
ColorHints DesktopColorHints(const QPalette& platform);

// The palette of a scheme: the platform's own when it already matches, the
// Fusion light palette for light, a dark palette of our own for dark.
QPalette PaletteFor(ColorScheme scheme, const QPalette& platform, const QPalette& light);
QPalette DarkPalette();
bool IsDark(const QPalette& palette);

// Relative-luminance contrast of two colours, 1 (none) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);

// The palette a gauge is drawn with: its fill colour darkened or lightened
// until the percentage drawn over it stands apart, whatever the palette's
// highlight colour is.
QPalette ReadableGaugePalette(const QPalette& palette);

// A progress gauge whose percentage stays readable on any theme.
class ReadableGauge : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Fusion, and the palette of the desktop's light or dark setting.
void ApplyDesktopLook(QApplication& app);

}  // namespace morphel::ui
