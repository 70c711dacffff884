// The program: a Qt application that shows the decoder dialog until it is closed.
#pragma once

#include <QApplication>
#include <QTranslator>

namespace ternwick {

class DecoderApp : public QApplication {
public:
    // Sets up the application as the dialog expects it: its name and icon, the
    // dialog's font, and Qt's own Chinese (simplified) texts for the standard
    // dialogs, so that the file-open dialog speaks the dialog's language.
    DecoderApp(int& argc, char** argv);

    // Shows the dialog modally; returns the program's exit status once it closes.
    int run();

    // Whether Qt's Chinese texts were found and installed.
    bool hasQtTranslation() const { return qtTranslationLoaded_; }

private:
    QTranslator qtTranslation_;
    bool qtTranslationLoaded_ = false;
};

}  // namespace ternwick
