// The program around the dialog: its window, icon, closing, and the real
// file-open dialog in Chinese.
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "decoder_app.h"
#include "decoder_dialog.h"
#include "gui_test_main.h"

namespace ternwick {
namespace {

// Runs chooseImageFile while `act` handles the file dialog once it is open.
// A watchdog rejects the file dialog if `act` never ends it, so a broken
// driver fails the test instead of hanging it.
struct FileDialogRun {
    std::optional<QString> chosen;
    bool sawDialog = false;
    bool watchdogFired = false;
};

FileDialogRun runFileDialog(const std::function<void(QFileDialog&)>& act) {
    FileDialogRun run;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        poll.stop();
        run.sawDialog = true;
        act(*dialog);
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        run.watchdogFired = true;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog != nullptr && dialog->isVisible()) {
                dialog->reject();
            }
        }
    });
    poll.start();
    watchdog.start(15000);
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
            dialog.selectFile(path);
            static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, as the Open button does
        });
        QVERIFY(run.sawDialog);
        QVERIFY(!run.watchdogFired);
        QCOMPARE(filters, QStringList({QStringLiteral("bmp Files (*.bmp)"), QStringLiteral("Png Files (*.png)")}));
        QCOMPARE(selectedFilter, QStringLiteral("bmp Files (*.bmp)"));
        QCOMPARE(title, QStringLiteral("打开"));
        QVERIFY(run.chosen.has_value());
        QCOMPARE(*run.chosen, path);
    }

    void cancelledFileDialogChoosesNothing() {
        const FileDialogRun run = runFileDialog([](QFileDialog& dialog) { dialog.reject(); });
        QVERIFY(run.sawDialog);
        QVERIFY(!run.watchdogFired);
        QVERIFY(!run.chosen.has_value());
    }
};

}  // namespace ternwick

TERNWICK_GUI_TEST_MAIN(ternwick::DecoderAppTest)

#include "decoder_app_test.moc"
