// What the dialog shows after choosing a file, cancelling, decoding twice, or
// a drop; the whole message in the tooltips.
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <QUrl>
#include <memory>
#include <vector>

#include "driver/decode_driver.h"
#include "decoder_dialog.h"
#include "dialog_test_support.h"
#include "gui_test_main.h"
#include "support/picture_files.h"

namespace ternwick {
namespace {

// The symbol the stand-in scan-line attempts "find" (none while null).
struct FoundSymbol {
    std::vector<std::uint8_t> codewords;
    std::vector<std::uint8_t> message;
};
// Attempts that "find" the symbol they were given (none while null) on every line.
class StandInAttempts final : public ScanLineAttempts {
public:
    const FoundSymbol* foundSymbol = nullptr;
    int firstPass(DecodeContext& context, int, int) override { return find(context); }
    int secondPass(DecodeContext& context, int, int) override { return find(context); }

private:
    int find(DecodeContext& context) const;
};

int StandInAttempts::find(DecodeContext& context) const {
    if (foundSymbol != nullptr && context.symbolCount == 0) {
        SymbolResult& symbol = context.symbols[0];
        symbol.codewordCount = static_cast<std::int32_t>(foundSymbol->codewords.size());
        symbol.codewords.reset(new std::uint8_t[foundSymbol->codewords.size()]);
        std::copy(foundSymbol->codewords.begin(), foundSymbol->codewords.end(), symbol.codewords.get());
        symbol.messageCapacity = static_cast<std::int32_t>(foundSymbol->message.size()) + 1;
        symbol.message.reset(new std::uint8_t[symbol.messageCapacity]());
        std::copy(foundSymbol->message.begin(), foundSymbol->message.end(), symbol.message.get());
        symbol.messageLength = static_cast<std::int32_t>(foundSymbol->message.size());
        symbol.modules.reset(new std::uint8_t[1]());
        symbol.erasures.reset(new std::int32_t[1]());
        context.symbolCount = 1;
    }
    return context.symbolCount;
}

std::vector<std::uint8_t> bytesOf(const QByteArray& text) { return {text.begin(), text.end()}; }

// A tooltip as the user reads it, and its lines.
QStringList toolTipLines(const QWidget& widget) {
    const QString text = QTextDocumentFragment::fromHtml(widget.toolTip()).toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

QMimeData* urlsData(const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

}  // namespace

class DecoderDialogTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString picturePath_;  // a plain grey picture that loads but holds no symbol
    StandInAttempts standIn_;

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        // A folder name outside ASCII: the path has to reach the loader intact.
        QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("图片")));
        picturePath_ = folder_.filePath(QStringLiteral("图片/灰色.png"));
        const ImageBuffer grey = testing::makeGreyImage(40, 30, [](int x, int) { return x < 20 ? 60 : 200; });
        testing::writeFile(QFile::encodeName(picturePath_).toStdString(), testing::greyImageToPng(grey));
    }

    void cleanup() { standIn_.foundSymbol = nullptr; }

    void startsWithEmptyFields() {
        DecoderDialog dialog;
        QCOMPARE(shownResults(dialog), ResultTexts{});
        QCOMPARE(shownTime(dialog), QString());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Ternwick"));
    }

    void buttonAsksForFileWithDialogAsParent() {
        ScriptedUser user;
        DecoderDialog dialog(user.chooser());
        user.answer = folder_.filePath(QStringLiteral("missing.bmp"));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("selectFileButton")), Qt::LeftButton);
        QCOMPARE(user.questions, 1);
        QCOMPARE(user.parentSeen, &dialog);
        QCOMPARE(shownResults(dialog).status, QStringLiteral("Failed!"));
    }

    void cancelLeavesAllFiveFields() {
        ScriptedUser user;
        DecoderDialog dialog(user.chooser());
        user.answer = folder_.filePath(QStringLiteral("missing.bmp"));
        dialog.onSelectFile();
        const ResultTexts results = shownResults(dialog);
        const QString time = shownTime(dialog);
        QVERIFY(isTimeText(time));

        user.answer.reset();
        dialog.onSelectFile();
        QCOMPARE(user.questions, 2);
        QCOMPARE(shownResults(dialog), results);
        QCOMPARE(shownTime(dialog), time);
    }

    void loadFailureShowsFailedAndLoadMessage_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");  // null: no such file
        QTest::newRow("missing") << QStringLiteral("missing.bmp") << QByteArray();
        QTest::newRow("not a picture") << QStringLiteral("corrupt.bmp") << QByteArray("BM this is no bitmap");
    }
    void loadFailureShowsFailedAndLoadMessage() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString path = folder_.filePath(name);
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        ScriptedUser user;
        user.answer = path;
        DecoderDialog dialog(user.chooser());
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog),
                 (ResultTexts{QStringLiteral("Failed!"), {}, QString::fromUtf8(kLoadFailureText), {}}));
        QVERIFY2(isTimeText(shownTime(dialog)), qPrintable(shownTime(dialog)));
        // Longer than its box: it scrolls, and the tooltip shows it whole.
        auto* asciiEdit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("asciiEdit"));
        QVERIFY(asciiEdit->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(toolTipLines(*asciiEdit).join(QString()), QString::fromUtf8(kLoadFailureText));
        QVERIFY(dialog.findChild<QPlainTextEdit*>(QStringLiteral("hexEdit"))->toolTip().isEmpty());
    }

    void otherExtensionShowsOnlyTime_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("jpg") << QStringLiteral("photo.jpg");
        QTest::newRow("name of four characters") << QStringLiteral(".bmp");
    }
    void otherExtensionShowsOnlyTime() {
        QFETCH(QString, name);
        ScriptedUser user;
        DecoderDialog dialog(user.chooser());
        user.answer = folder_.filePath(QStringLiteral("missing.bmp"));
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog).status, QStringLiteral("Failed!"));

        // A bare name: the path the driver sees is the name itself.
        user.answer = name;
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog), ResultTexts{});
        QVERIFY2(isTimeText(shownTime(dialog)), qPrintable(shownTime(dialog)));
    }

    void pictureWithoutSymbolShowsFailedAndNoText() {
        // Loads from a path with Chinese folder and file names; a path that did
        // not reach the loader intact would show the load message instead.
        ScriptedUser user;
        user.answer = picturePath_;
        DecoderDialog dialog(user.chooser());
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog), (ResultTexts{QStringLiteral("Failed!"), {}, {}, {}}));
        QVERIFY(isTimeText(shownTime(dialog)));
    }

    void foundSymbolShowsItsFields_data() {
        QTest::addColumn<int>("firstCodeword");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<ResultTexts>("expected");
        const QString success = QStringLiteral("Success!");
        QTest::newRow("base 256") << 231 << QByteArray("ABC")
                                  << ResultTexts{success, QStringLiteral("Base256 Latch"), QStringLiteral("ABC"),
                                                 QStringLiteral("414243")};
        QTest::newRow("ascii first codeword")
            << 66 << QByteArray("A") << ResultTexts{{}, {}, QStringLiteral("A"), QStringLiteral("41")};
        QTest::newRow("utf-8 text") << 231 << QByteArray("\xE4\xB8\xAD\xE6\x96\x87")
                                    << ResultTexts{success, QStringLiteral("Base256 Latch"), QStringLiteral("中文"),
                                                   QStringLiteral("E4B8ADE69687")};
        QTest::newRow("utf-8 cut at twelve bytes")
            << 231 << QByteArray("abcdefghijk\xE4\xB8\xAD")
            << ResultTexts{success, QStringLiteral("Base256 Latch"), QStringLiteral("abcdefghijk"),
                           QStringLiteral("6162636465666768696A6BE4")};
        QTest::newRow("latin-1 text") << 235 << QByteArray("caf\xE9")
                                      << ResultTexts{success, QStringLiteral("Upper Shift Latch"),
                                                     QStringLiteral("caf\u00E9"), QStringLiteral("636166E9")};
    }
    void foundSymbolShowsItsFields() {
        QFETCH(int, firstCodeword);
        QFETCH(QByteArray, message);
        const FoundSymbol symbol{{static_cast<std::uint8_t>(firstCodeword), 129}, bytesOf(message)};
        standIn_.foundSymbol = &symbol;
        ScriptedUser user;
        user.answer = picturePath_;
        DecoderDialog dialog(user.chooser());
        dialog.setScanLineAttempts(&standIn_);
        dialog.onSelectFile();
        QTEST(shownResults(dialog), "expected");
        QVERIFY(isTimeText(shownTime(dialog)));
    }

    void toolTipsShowTheWholeMessage_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("text");  // escaped
        QTest::newRow("controls, backslash and markup")
            << QByteArray("<b>x</b>\n\t\r\\ \x1D\x7F", 15) << QStringLiteral("<b>x</b>\\n\\t\\r\\\\ \\x1D\\x7F");
        QTest::newRow("zero byte inside") << QByteArray("AB\0CD", 5) << QStringLiteral("AB\\x00CD");
        QTest::newRow("utf-8 across the twelfth byte")
            << QByteArray("abcdefghijk\xE4\xB8\xAD") << QStringLiteral("abcdefghijk中");
        QTest::newRow("latin-1") << QByteArray("caf\xE9 \x85") << QStringLiteral("caf\u00E9 \\x85");
        QTest::newRow("longer than a line")
            << QByteArray(100, 'z').append("\xF0\x9F\x98\x80") << QString(100, QLatin1Char('z')) + QStringLiteral("😀");
    }
    void toolTipsShowTheWholeMessage() {
        QFETCH(QByteArray, message);
        QFETCH(QString, text);
        const FoundSymbol symbol{{231, 129}, bytesOf(message)};
        standIn_.foundSymbol = &symbol;
        DecoderDialog dialog;
        dialog.setScanLineAttempts(&standIn_);
        dialog.decodeFile(picturePath_);
        const QStringList textLines = toolTipLines(*dialog.findChild<QPlainTextEdit*>(QStringLiteral("asciiEdit")));
        const QStringList hexLines = toolTipLines(*dialog.findChild<QPlainTextEdit*>(QStringLiteral("hexEdit")));
        QCOMPARE(textLines.join(QString()), text);
        QCOMPARE(hexLines.join(QString()), QString::fromLatin1(message.toHex().toUpper()));
        for (const QString& line : textLines + hexLines) QVERIFY2(line.size() <= 64, qPrintable(line));
    }

    void droppedPictureIsTakenOnlyWhenOneLocalPngOrBmp_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("taken");
        QTest::newRow("png") << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/pictures/a.png"))} << true;
        QTest::newRow("BMP") << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/pictures/a.BMP"))} << true;
        QTest::newRow("jpg") << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/pictures/a.jpg"))} << false;
        QTest::newRow("remote") << QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.png"))} << false;
        QTest::newRow("two files") << QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/pictures/a.png")),
                                                  QUrl::fromLocalFile(QStringLiteral("/pictures/b.png"))}
                                   << false;
        QTest::newRow("no file") << QList<QUrl>{} << false;
    }
    void droppedPictureIsTakenOnlyWhenOneLocalPngOrBmp() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, taken);
        const std::unique_ptr<QMimeData> data(urlsData(urls));
        QCOMPARE(droppedPicture(*data).has_value(), taken);
        if (taken) QCOMPARE(*droppedPicture(*data), urls.front().toLocalFile());
    }

    void dropOnTheDialogDecodesThePicture() {
        ScriptedUser user;
        DecoderDialog dialog(user.chooser());
        // Onto the text box: the drag passes from it to the dialog.
        QWidget* target = dialog.findChild<QPlainTextEdit*>(QStringLiteral("asciiEdit"))->viewport();
        const QPoint where(5, 5);

        const std::unique_ptr<QMimeData> refused(urlsData({QUrl::fromLocalFile(folder_.filePath(QStringLiteral("photo.jpg")))}));
        QDragEnterEvent refusedEnter(where, Qt::CopyAction, refused.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &refusedEnter);
        QVERIFY(!refusedEnter.isAccepted());  // the drag cursor says no; nothing else happens

        const std::unique_ptr<QMimeData> picture(urlsData({QUrl::fromLocalFile(picturePath_)}));
        QDragEnterEvent enter(where, Qt::CopyAction, picture.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(where, Qt::CopyAction, picture.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(shownTime(dialog), QString());  // the drop has ended before the decode starts
        QTRY_VERIFY(isTimeText(shownTime(dialog)));
        QCOMPARE(shownResults(dialog), (ResultTexts{QStringLiteral("Failed!"), {}, {}, {}}));
        QCOMPARE(user.questions, 0);
    }

    void secondDecodeStartsFromEmptyFields() {
        const FoundSymbol symbol{{231, 129}, bytesOf("ABC")};
        ScriptedUser user;
        user.answer = picturePath_;
        DecoderDialog dialog(user.chooser());
        dialog.setScanLineAttempts(&standIn_);
        standIn_.foundSymbol = &symbol;
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog).hex, QStringLiteral("414243"));

        // The same picture without a symbol: the driver writes no hexadecimal
        // then, so what shows must come from the dialog's own clearing.
        standIn_.foundSymbol = nullptr;
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog), (ResultTexts{QStringLiteral("Failed!"), {}, {}, {}}));

        standIn_.foundSymbol = &symbol;
        dialog.onSelectFile();
        user.answer = QStringLiteral("photo.jpg");
        dialog.onSelectFile();
        QCOMPARE(shownResults(dialog), ResultTexts{});
        QVERIFY(isTimeText(shownTime(dialog)));
    }

    void decodablePictureShowsResult_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("expected");  // reference values, or empty for the driver's own
        const QString source = QStringLiteral(TERNWICK_SOURCE_DIR);
        QTest::newRow("example") << source + QStringLiteral("/examples/example.png") << QString();
        for (const char* name : {"upright-16x16", "rotated20-32x32-grey24", "light-on-dark-64x64", "rotated90-20x20"}) {
            const QString base = source + QStringLiteral("/tests/data/reference/") + QString::fromLatin1(name);
            const QString picture = QFile::exists(base + QStringLiteral(".png")) ? base + QStringLiteral(".png")
                                                                                  : base + QStringLiteral(".bmp");
            QTest::newRow(name) << picture << base + QStringLiteral(".json");
        }
    }
    void decodablePictureShowsResult() {
        QFETCH(QString, picture);
        QFETCH(QString, expected);
        if (!QFile::exists(picture)) QSKIP("the picture is not there yet");
        ResultFields direct;
        {
            DecodeContext context;
            context.flags = StopAtFirstSymbol;
            decodeImageFile(direct, context, QFile::encodeName(picture).toStdString());
            releaseSymbols(context);
        }
        if (!direct.decoded) QSKIP("the decoder cannot decode this picture yet");

        ScriptedUser user;
        user.answer = picture;
        DecoderDialog dialog(user.chooser());
        dialog.onSelectFile();
        const ResultTexts shown = shownResults(dialog);
        QVERIFY(!shown.hex.isEmpty());
        QVERIFY(isTimeText(shownTime(dialog)));
        if (expected.isEmpty()) {
            // "Success!" and a scheme when the symbol announces one; empty when it starts in ASCII.
            QCOMPARE(shown, (ResultTexts{QString::fromStdString(direct.statusText),
                                         QString::fromStdString(direct.schemeText), fieldText(direct.asciiText),
                                         QString::fromStdString(direct.hexText)}));
            return;
        }
        QFile file(expected);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject reference = QJsonDocument::fromJson(file.readAll()).object();
        const auto value = [&](const char* key) { return reference.value(QString::fromLatin1(key)).toString(); };
        QCOMPARE(shown, (ResultTexts{value("status"), value("scheme"), value("text"), value("hex")}));
    }
};

}  // namespace ternwick

TERNWICK_GUI_TEST_MAIN(ternwick::DecoderDialogTest)

#include "decoder_dialog_test.moc"
