// Where the dialog's controls land in pixels, and a picture of the dialog for
// a person to look at, at the scale factor the test runs with (CTest runs it
// at 1, 1.25, 1.5 and 2).
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>

#include "decoder_dialog.h"
#include "dialog_layout.h"
#include "dialog_test_support.h"
#include "gui_test_main.h"

namespace ternwick {
namespace {

// Whether a box's frame shows on each of its four sides in a picture of the
// dialog: the box's outermost logical pixel, at the middle of each side,
// holds a device pixel darker than the dialog's background and the box's base.
bool frameIsWhole(const QImage& picture, const QPlainTextEdit& box) {
    const qreal ratio = picture.devicePixelRatio();
    const int lightest = std::min(qGray(box.palette().base().color().rgb()),
                                  qGray(box.window()->palette().window().color().rgb()));
    // Whether device pixels along x or y within one logical pixel of `at` hold a dark one.
    const auto darkAcross = [&](bool horizontal, int at, int other) {
        for (int device = static_cast<int>(std::floor(at * ratio)); device < std::ceil((at + 1) * ratio); ++device) {
            const QPoint point = horizontal ? QPoint(device, other) : QPoint(other, device);
            if (qGray(picture.pixel(point)) < lightest - 16) return true;
        }
        return false;
    };
    const QRect r = box.geometry();
    const int middleX = static_cast<int>(r.center().x() * ratio);
    const int middleY = static_cast<int>(r.center().y() * ratio);
    return darkAcross(true, r.left(), middleY) && darkAcross(true, r.right(), middleY) &&
           darkAcross(false, r.top(), middleX) && darkAcross(false, r.bottom(), middleX);
}

}  // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void dialogUnitsRoundToNearestPixel() {
        QCOMPARE(dialogUnitsToPixels(QRect(15, 35, 35, 8), DialogBaseUnits{6, 16}), QRect(23, 70, 53, 16));
        QCOMPARE(dialogUnitsToPixels(QRect(15, 35, 35, 8), DialogBaseUnits{7, 13}), QRect(26, 57, 61, 13));
        QCOMPARE(dialogUnitsToPixels(kDialogSizeUnits, DialogBaseUnits{6, 16}), QSize(480, 400));
    }

    void dialogFontCarriesTheChineseTexts() {
        // Without a Chinese font the captions turn into boxes without any error.
        DecoderDialog dialog;
        const QFontInfo info(dialog.font());
        QVERIFY2(info.family() == QStringLiteral("WenQuanYi Zen Hei"),
                 qPrintable(QStringLiteral("dialog font is %1; is fonts-wqy-zenhei installed?").arg(info.family())));
        QCOMPARE(info.pointSize(), 9);
        const QFontMetrics metrics(dialog.font());
        for (const ControlTemplate& control : dialogControls()) {
            for (const char32_t c : control.text.toUcs4()) {
                QVERIFY2(metrics.inFontUcs4(c), qPrintable(control.text));
            }
        }
    }

    void screenshotShowsEveryControlWhole() {
        ScriptedUser user;
        user.answer = QStringLiteral("missing.bmp");
        DecoderDialog dialog(user.chooser());
        dialog.onSelectFile();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        QVERIFY(QDir().mkpath(QStringLiteral(TERNWICK_GUI_TEST_OUTPUT_DIR)));
        const qreal ratio = dialog.devicePixelRatioF();
        const QString picture =
            QStringLiteral(TERNWICK_GUI_TEST_OUTPUT_DIR "/decoder-dialog@%1x.png").arg(QString::number(ratio));
        const QImage image = dialog.grab().toImage();
        QVERIFY(image.save(picture));
        qInfo("dialog picture: %s", qPrintable(picture));
        for (const char* name : {"asciiEdit", "hexEdit"}) {
            QVERIFY2(frameIsWhole(image, *dialog.findChild<QPlainTextEdit*>(QString::fromLatin1(name))), name);
        }

        const QSize size = dialogUnitsToPixels(kDialogSizeUnits, dialogBaseUnits(dialog.font()));
        QCOMPARE(dialog.size(), size);
        QCOMPARE(dialog.minimumSize(), size);
        QCOMPARE(dialog.maximumSize(), size);

        const QFontMetrics metrics(dialog.font());
        std::vector<QRect> rects;
        for (const ControlTemplate& control : dialogControls()) {
            const QString name = QString::fromLatin1(control.objectName);
            auto* widget = dialog.findChild<QWidget*>(name);
            QVERIFY2(widget != nullptr, qPrintable(name));
            QVERIFY2(widget->isVisible(), qPrintable(name));
            const QRect rect = widget->geometry();
            QVERIFY2(dialog.rect().contains(rect), qPrintable(name));
            for (const QRect& other : rects) QVERIFY2(!rect.intersects(other), qPrintable(name));
            rects.push_back(rect);

            // No text is cut: not a caption, a button, nor the widest value a field shows.
            const QString& text = control.kind == ControlKind::ValueStatic ? control.widestText : control.text;
            if (control.kind == ControlKind::CentredStatic) {
                QVERIFY2(metrics.boundingRect(rect, Qt::TextWordWrap, text).height() <= rect.height(),
                         qPrintable(name));
            } else if (!text.isEmpty()) {
                QVERIFY2(metrics.horizontalAdvance(text) <= rect.width(), qPrintable(name));
            }
        }
    }
};

}  // namespace ternwick

TERNWICK_GUI_TEST_MAIN(ternwick::DialogLayoutTest)

#include "dialog_layout_test.moc"
