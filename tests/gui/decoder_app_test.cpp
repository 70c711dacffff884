// The program around the dialog: its window, icon, closing, and the real
// file-open dialog in Chinese.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "decoder_app.h"
#include "decoder_dialog.h"
#include "dialog_test_support.h"
#include "gui_test_main.h"

namespace ternwick {
namespace {

// Runs chooseImageFile while `act` handles the file dialog once it is the
// active window: before then the dialog's own focus handling may still
// change its file-name box. If the dialog never becomes active, or `act`
// does not end it, it is rejected, so that the test fails instead of hanging.
struct FileDialogRun {
    std::optional<QString> chosen;
    bool becameActive = false;
    bool endedByAct = false;
};

FileDialogRun runFileDialog(const std::function<void(QFileDialog&)>& act) {
    FileDialogRun run;
    QTimer look;  // runs as soon as the file dialog's event loop does
    look.setInterval(0);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        look.stop();
        run.becameActive = QTest::qWaitForWindowActive(dialog);
        if (run.becameActive) act(*dialog);
        run.endedByAct = !dialog->isVisible();
        if (!run.endedByAct) dialog->reject();
    });
    look.start();
    run.chosen = chooseImageFile(nullptr);
    return run;
}

}  // namespace

class DecoderAppTest : public QObject {
    Q_OBJECT

private slots:
    void applicationHasIconAndChineseQtTexts() {
        auto* app = static_cast<DecoderApp*>(QCoreApplication::instance());
        QVERIFY2(app->hasQtTranslation(), "is qt6-translations-l10n installed?");
        const QIcon icon = applicationIcon();
        for (const int side : {24, 48, 96, 192}) QVERIFY(icon.availableSizes().contains(QSize(side, side)));
        QVERIFY(!QApplication::windowIcon().isNull());
        DecoderDialog dialog;
        QCOMPARE(dialog.windowIcon().pixmap(48).toImage(), icon.pixmap(48).toImage());
    }

    void captionHasNoCloseButtonAndEscOrCloseEndTheDialog() {
        DecoderDialog dialog;
        const Qt::WindowFlags flags = dialog.windowFlags();
        QCOMPARE(dialog.windowType(), Qt::Window);  // a window of its own, with a task-bar entry
        QVERIFY(flags.testFlag(Qt::WindowTitleHint));
        QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

    void fileDialogOffersBmpThenPngAndReturnsThePath() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("symbol.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QStringList filters;
        QString selectedFilter;
        QString title;
        const FileDialogRun run = runFileDialog([&](QFileDialog& dialog) {
            filters = dialog.nameFilters();
            selectedFilter = dialog.selectedNameFilter();
            title = dialog.windowTitle();
            // As the user types it: into the file-name box, which has the focus.
            auto* nameBox = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(nameBox != nullptr);
            nameBox->setText(path);
            static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, as the Open button does
        });
        QVERIFY(run.becameActive);
        QVERIFY(run.endedByAct);
        QCOMPARE(filters, QStringList({QStringLiteral("bmp Files (*.bmp)"), QStringLiteral("Png Files (*.png)")}));
        QCOMPARE(selectedFilter, QStringLiteral("bmp Files (*.bmp)"));
        QCOMPARE(title, QStringLiteral("打开"));
        QVERIFY(run.chosen.has_value());
        QCOMPARE(*run.chosen, path);
    }

    void cancelledFileDialogChoosesNothing() {
        const FileDialogRun run = runFileDialog([](QFileDialog& dialog) { dialog.reject(); });
        QVERIFY(run.becameActive);
        QVERIFY(run.endedByAct);
        QVERIFY(!run.chosen.has_value());
    }

    void enterAtStartOpensTheFileDialog() {
        ScriptedUser user;
        DecoderDialog dialog(user.chooser());
        auto* selectFileButton = dialog.findChild<QPushButton*>(QStringLiteral("selectFileButton"));
        bool active = false;
        QWidget* focus = nullptr;
        // Shown modally, as the program shows it.
        QTimer::singleShot(0, [&] {
            active = QTest::qWaitForWindowActive(&dialog);
            focus = QApplication::focusWidget();
            for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(dialog.windowHandle(), key);  // through the window, to the focus widget
            }
            QTest::keyClick(dialog.windowHandle(), Qt::Key_Escape);
            if (dialog.isVisible()) dialog.reject();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(active);
        QCOMPARE(focus, selectFileButton);
        QVERIFY(selectFileButton->isDefault());
        QCOMPARE(user.questions, 2);
    }

    void commandLineFileIsDecodedOnceTheDialogShows() {
        const QString picture = QStringLiteral(TERNWICK_SOURCE_DIR "/examples/example.png");
        bool emptyWhenShown = false;
        ResultTexts shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<DecoderDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            emptyWhenShown = dialog->isVisible() && shownTime(*dialog).isEmpty();
            if (!QTest::qWaitFor([&] { return !shownTime(*dialog).isEmpty(); })) qWarning("no decode within 5 s");
            shown = shownResults(*dialog);
            dialog->reject();
        });
        auto* app = static_cast<DecoderApp*>(QCoreApplication::instance());
        QCOMPARE(app->run({QStringLiteral("ternwick-gui"), picture}), 0);
        QVERIFY(emptyWhenShown);
        QVERIFY2(!shown.hex.isEmpty(), qPrintable(shown.status));
    }
};

}  // namespace ternwick

TERNWICK_GUI_TEST_MAIN(ternwick::DecoderAppTest)

#include "decoder_app_test.moc"
