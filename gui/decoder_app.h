// The program: a Qt application that shows the decoder dialog until it is closed.
#pragma once

#include <QApplication>
#include <QStringList>
#include <QTranslator>

namespace ternwick {

class DecoderApp : public QApplication {
public:
    // Sets up the application as the dialog expects it: its name and icon, the
    // dialog's font, and Qt's own Chinese (simplified) texts for the standard
    // dialogs, so that the file-open dialog speaks the dialog's language.
    DecoderApp(int& argc, char** argv);

    // Reads the command line (`ternwick-gui [FILE]`, --help, --version), shows
    // the dialog modally and decodes FILE once the dialog is on screen; returns
    // the program's exit status once the dialog closes.
    int run(const QStringList& arguments);

    // Whether Qt's Chinese texts were found and installed.
    bool hasQtTranslation() const { return qtTranslationLoaded_; }

private:
    QTranslator qtTranslation_;
    bool qtTranslationLoaded_ = false;
};

}  // namespace ternwick
