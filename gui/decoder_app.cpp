#include "decoder_app.h"

#include <QLibraryInfo>
#include <QLocale>

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

int DecoderApp::run() {
    DecoderDialog dialog;
    dialog.exec();
    return 0;
}

}  // namespace ternwick
