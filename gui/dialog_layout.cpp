#include "dialog_layout.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <cstring>

#include "driver/decode_driver.h"

namespace ternwick {
namespace {

// Horizontal room kept between a widened static and the control after it.
constexpr int kStaticGapUnits = 2;

// The longest name the scheme field can show.
QString widestSchemeName() {
    QString widest;
    for (int codeword = 0; codeword < 256; ++codeword) {
        if (const char* name = schemeName(static_cast<std::uint8_t>(codeword))) {
            if (static_cast<int>(std::strlen(name)) > widest.size()) widest = QString::fromLatin1(name);
        }
    }
    return widest;
}

// a * b / c rounded to the nearest integer, for the small positive values here.
int scaleRounded(int a, int b, int c) { return (a * b + c / 2) / c; }

bool isStatic(ControlKind kind) {
    return kind == ControlKind::Caption || kind == ControlKind::ValueStatic || kind == ControlKind::CentredStatic;
}

}  // namespace

const std::vector<ControlTemplate>& dialogControls() {
    static const std::vector<ControlTemplate> controls{
        {ControlKind::PushButton, "closeButton", QStringLiteral("关闭"), {230, 7, 50, 16}, {}},
        {ControlKind::PushButton, "selectFileButton", QStringLiteral("选择文件"), {42, 7, 48, 16}, {}},
        {ControlKind::Caption, "statusCaption", QStringLiteral("解码状态："), {15, 35, 35, 8}, {}},
        {ControlKind::ValueStatic, "statusValue", QStringLiteral("静态"), {57, 35, 59, 8}, QStringLiteral("Success!")},
        {ControlKind::Caption, "schemeCaption", QStringLiteral("编码格式："), {121, 36, 35, 8}, {}},
        {ControlKind::ValueStatic, "schemeValue", QStringLiteral("静态"), {159, 36, 59, 8}, widestSchemeName()},
        {ControlKind::Caption, "timeCaption", QStringLiteral("时间："), {227, 36, 22, 8}, {}},
        {ControlKind::ValueStatic, "timeValue", QStringLiteral("静态"), {249, 36, 51, 8}, QStringLiteral("999999ms")},
        {ControlKind::Caption, "asciiCaption", QStringLiteral("解码结果（ASCII码）："), {15, 54, 73, 8}, {}},
        {ControlKind::ReadOnlyEdit, "asciiEdit", {}, {20, 65, 279, 42}, {}},
        {ControlKind::Caption, "hexCaption", QStringLiteral("解码结果（HEX）："), {14, 114, 62, 8}, {}},
        {ControlKind::ReadOnlyEdit, "hexEdit", {}, {20, 126, 279, 35}, {}},
        {ControlKind::CentredStatic, "formatsCaption",
         QStringLiteral("读取 ECC200 Data Matrix 符号（10×10 至 144×144），png 或 bmp 图片"), {21, 170, 276, 15}, {}},
    };
    return controls;
}

DialogBaseUnits dialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabetWidth =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(alphabetWidth / 26 + 1) / 2, metrics.height()};
}

QRect dialogUnitsToPixels(const QRect& units, DialogBaseUnits base) {
    return {scaleRounded(units.x(), base.horizontal, 4), scaleRounded(units.y(), base.vertical, 8),
            scaleRounded(units.width(), base.horizontal, 4), scaleRounded(units.height(), base.vertical, 8)};
}

QSize dialogUnitsToPixels(const QSize& units, DialogBaseUnits base) {
    return {scaleRounded(units.width(), base.horizontal, 4), scaleRounded(units.height(), base.vertical, 8)};
}

QFont dialogFont() {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(9);
    return font;
}

std::vector<QRect> layoutControls(const QFont& font) {
    const DialogBaseUnits base = dialogBaseUnits(font);
    const QFontMetrics metrics(font);
    const int gap = scaleRounded(kStaticGapUnits, base.horizontal, 4);
    const std::vector<ControlTemplate>& controls = dialogControls();

    std::vector<QRect> rects;
    for (const ControlTemplate& control : controls) rects.push_back(dialogUnitsToPixels(control.dialogUnits, base));

    // Statics of a row are placed from left to right, each after the ones
    // already placed to its left on that row.
    std::vector<std::size_t> order(controls.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rects[a].x() < rects[b].x(); });
    std::vector<bool> placed(controls.size(), false);
    for (const std::size_t i : order) {
        const ControlTemplate& control = controls[i];
        QRect& rect = rects[i];
        if (control.kind == ControlKind::Caption || control.kind == ControlKind::ValueStatic) {
            const QString& shown = control.kind == ControlKind::Caption ? control.text : control.widestText;
            rect.setWidth(std::max(rect.width(), metrics.horizontalAdvance(shown)));
            for (std::size_t j = 0; j < controls.size(); ++j) {
                const QRect& other = rects[j];
                const bool sameRow = other.top() <= rect.bottom() && rect.top() <= other.bottom();
                if (placed[j] && j != i && sameRow && isStatic(controls[j].kind)) {
                    rect.moveLeft(std::max(rect.left(), other.right() + 1 + gap));
                }
            }
        }
        placed[i] = true;
    }
    return rects;
}

}  // namespace ternwick
