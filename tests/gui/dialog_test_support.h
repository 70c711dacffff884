// What the dialog tests share: reading the five shown fields, and a stand-in
// for the user at the file-open dialog.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QString>
#include <QTest>
#include <optional>

#include "decoder_dialog.h"

namespace ternwick {

// The four result fields as the dialog's controls show them.
struct ResultTexts {
    QString status;
    QString scheme;
    QString ascii;
    QString hex;
    bool operator==(const ResultTexts&) const = default;
};

// How QCOMPARE prints ResultTexts.
inline char* toString(const ResultTexts& texts) {
    return QTest::toString(QStringLiteral("status \"%1\", scheme \"%2\", text \"%3\", hex \"%4\"")
                               .arg(texts.status, texts.scheme, texts.ascii, texts.hex));
}

inline ResultTexts shownResults(const DecoderDialog& dialog) {
    return {dialog.findChild<QLabel*>(QStringLiteral("statusValue"))->text(),
            dialog.findChild<QLabel*>(QStringLiteral("schemeValue"))->text(),
            dialog.findChild<QPlainTextEdit*>(QStringLiteral("asciiEdit"))->toPlainText(),
            dialog.findChild<QPlainTextEdit*>(QStringLiteral("hexEdit"))->toPlainText()};
}

inline QString shownTime(const DecoderDialog& dialog) {
    return dialog.findChild<QLabel*>(QStringLiteral("timeValue"))->text();
}

// A time as the dialog writes it: a whole number of milliseconds and "ms".
inline bool isTimeText(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]+ms$"));
    return pattern.match(text).hasMatch();
}

// Stands in for the user at the file-open dialog: answers with the path set
// last, or cancels when none is set.
struct ScriptedUser {
    std::optional<QString> answer;
    QWidget* parentSeen = nullptr;
    int questions = 0;

    FileChooser chooser() {
        return [this](QWidget* parent) {
            parentSeen = parent;
            ++questions;
            return answer;
        };
    }
};

}  // namespace ternwick

Q_DECLARE_METATYPE(ternwick::ResultTexts)
