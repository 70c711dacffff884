// Where the dialog's controls land in pixels, and a picture of the dialog for
// a person to look at.
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

#include "decoder_dialog.h"
#include "dialog_layout.h"
#include "dialog_test_support.h"
#include "gui_test_main.h"

namespace ternwick {

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
        const QString picture = QStringLiteral(TERNWICK_GUI_TEST_OUTPUT_DIR "/decoder-dialog.png");
        QVERIFY(dialog.grab().save(picture));
        qInfo("dialog picture: %s", qPrintable(picture));

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
