// The program's colours, by the names the operator's documents use: the register tree's text colours and the
// two indicator squares; and how a named colour stays readable on a dark desktop palette.
#pragma once

#include <algorithm>
#include <cmath>

#include <QColor>
#include <QPalette>

namespace velnorex {

inline const QColor kColorBlack{0x00, 0x00, 0x00};
inline const QColor kColorNavy{0x00, 0x00, 0x80};
inline const QColor kColorMaroon{0x80, 0x00, 0x00};
inline const QColor kColorGreen{0x00, 0x80, 0x00};
inline const QColor kColorRed{0xFF, 0x00, 0x00};
inline const QColor kColorLime{0x00, 0xFF, 0x00};
inline const QColor kColorGrey{0x80, 0x80, 0x80};
inline const QColor kColorMediumGrey{0xA0, 0xA0, 0xA4};
inline const QColor kColorYellow{0xFF, 0xFF, 0x00};

// Contrast ratios that text and the indicator squares must reach against what they are drawn on.
inline constexpr double kTextContrast = 4.5;
inline constexpr double kIndicatorContrast = 3.0;

// Relative luminance of an sRGB colour, 0 (black) to 1 (white).
inline double RelativeLuminance(const QColor& color) {
  const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

// 1 (the same) to 21 (black on white).
inline double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a);
  const double lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A background darker than mid-grey: the desktop runs a dark palette.
inline bool IsDarkBackground(const QColor& background) {
  return RelativeLuminance(background) < RelativeLuminance(QColor(0x80, 0x80, 0x80));
}

// The nearest shade of `named` that reaches `ratio` on `background`: the colour mixed with white (or, on a
// background too bright for that, with black) in the smallest step that is enough, so navy stays a blue and
// maroon a red.
inline QColor NearestReadable(const QColor& named, const QColor& background, double ratio = kTextContrast) {
  if (ContrastRatio(named, background) >= ratio) return named;
  const auto mix = [&named](const QColor& with, double t) {
    return QColor::fromRgbF(named.redF() + (with.redF() - named.redF()) * t,
                            named.greenF() + (with.greenF() - named.greenF()) * t,
                            named.blueF() + (with.blueF() - named.blueF()) * t)
        .toRgb();
  };
  const QColor white(0xFF, 0xFF, 0xFF);
  const QColor black(0x00, 0x00, 0x00);
  for (int step = 1; step <= 100; ++step) {
    for (const QColor& with : {white, black}) {
      const QColor mixed = mix(with, step / 100.0);
      if (ContrastRatio(mixed, background) >= ratio) return mixed;
    }
  }
  return ContrastRatio(white, background) >= ContrastRatio(black, background) ? white : black;
}

// The colour to draw `named` with on `background`: on a light background the named colour as the operator's
// documents name it, on a dark one the nearest readable shade.
inline QColor ReadableOn(const QColor& named, const QColor& background, double ratio = kTextContrast) {
  return IsDarkBackground(background) ? NearestReadable(named, background, ratio) : named;
}

// The text colour `named` on the palette's window face, as labels of the control panel draw it.
inline QColor ReadableOnWindow(const QColor& named, const QPalette& palette) {
  return ReadableOn(named, palette.color(QPalette::Window));
}

}  // namespace velnorex
