// The decoder dialog's controls, placed in dialog units and turned into pixels
// the way the desktop this layout was first drawn for does it.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace ternwick {

enum class ControlKind { PushButton, Caption, ValueStatic, CentredStatic, ReadOnlyEdit };

// One control of the dialog: where the layout puts it, in dialog units.
struct ControlTemplate {
    ControlKind kind;
    const char* objectName;
    QString text;        // the text it is created with
    QRect dialogUnits;   // x, y, width, height
    QString widestText;  // for a value static: the widest text it has to show
};

// Size of the dialog's client area in dialog units.
inline constexpr QSize kDialogSizeUnits{320, 200};

// The controls in creation (and tab) order.
const std::vector<ControlTemplate>& dialogControls();

// Pixels per four horizontal and per eight vertical dialog units: the font's
// average width of the Latin letters and its height.
struct DialogBaseUnits {
    int horizontal = 0;
    int vertical = 0;
};
DialogBaseUnits dialogBaseUnits(const QFont& font);

// Dialog units to pixels, rounded to the nearest pixel.
QRect dialogUnitsToPixels(const QRect& units, DialogBaseUnits base);
QSize dialogUnitsToPixels(const QSize& units, DialogBaseUnits base);

// The 9-point font the dialog is drawn and measured with: WenQuanYi Zen Hei,
// which carries the Chinese captions, or the desktop's sans font without it.
QFont dialogFont();

// Pixel rectangles of dialogControls(), in the same order. Every control sits
// at its place in dialog units; statics are in addition never narrower than
// their (widest) text and never run into a control before them on their row,
// so no caption is cut in a font whose Chinese glyphs are wider than the
// layout allowed for.
std::vector<QRect> layoutControls(const QFont& font);

}  // namespace ternwick
