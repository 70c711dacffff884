#include "decoder_app.h"

#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <cstdio>

#include "decoder_dialog.h"
#include "dialog_layout.h"
#include "ternwick/ternwick.h"

namespace ternwick {

DecoderApp::DecoderApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("ternwick"));
    setApplicationVersion(QString::fromLatin1(version()));
    setDesktopFileName(QStringLiteral("ternwick"));
    setWindowIcon(applicationIcon());
    setFont(dialogFont());

    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    qtTranslationLoaded_ = qtTranslation_.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                                               QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (qtTranslationLoaded_) {
        installTranslator(&qtTranslation_);
    } else {
        qWarning("ternwick: Qt's Chinese translation (qtbase_zh_CN.qm) was not found; standard dialogs stay in English");
    }
}

int DecoderApp::run(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reads an ECC200 Data Matrix symbol from a PNG or BMP picture."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("picture to decode at start"),
                                 QStringLiteral("[file]"));
    parser.process(arguments);  // ends the program after --help, --version or an unknown option
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fputs("ternwick-gui: one file at the most\n", stderr);
        return 2;
    }

    DecoderDialog dialog;
    if (!files.isEmpty()) dialog.decodeWhenShown(files.front());
    dialog.exec();
    return 0;
}

}  // namespace ternwick
