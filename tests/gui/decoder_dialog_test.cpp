// What the dialog shows after choosing a file, cancelling, or decoding twice.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
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
