#include "decoder_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStyle>
#include <memory>
#include <new>

#include "driver/decode_driver.h"
#include "dialog_layout.h"

namespace ternwick {

QStringList imageFileFilters() {
    return {QStringLiteral("bmp Files (*.bmp)"), QStringLiteral("Png Files (*.png)")};
}

std::optional<QString> chooseImageFile(QWidget* parent) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(imageFileFilters());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front();
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int side : {24, 48, 96, 192}) {
        icon.addFile(QStringLiteral(":/ternwick/icons/ternwick-%1.png").arg(side), QSize(side, side));
    }
    return icon;
}

QString fieldText(const std::string& bytes) {
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError()) {
        // The decoder holds back an unfinished sequence at the end; a byte
        // that cannot continue one comes out unchanged only when there is none.
        const QString probe = utf8.decode(QByteArrayView("\n", 1));
        const bool unfinished = probe != QStringLiteral("\n");
        if (!unfinished || bytes.size() == static_cast<std::size_t>(kShownMessageBytes)) return text;
    }
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

DecoderDialog::DecoderDialog(FileChooser chooseFile, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      appIcon(applicationIcon()),
      chooseFile_(std::move(chooseFile)) {
    setWindowTitle(QStringLiteral("Ternwick"));
    setWindowIcon(appIcon);
    setFont(dialogFont());
    createControls();
    pushFieldsToControls();
}

void DecoderDialog::setScanLineAttempts(ScanLineAttempts* attempts) { attempts_ = attempts; }

void DecoderDialog::createControls() {
    const std::vector<ControlTemplate>& controls = dialogControls();
    const std::vector<QRect> rects = layoutControls(font());
    setFixedSize(dialogUnitsToPixels(kDialogSizeUnits, dialogBaseUnits(font())));

    for (std::size_t i = 0; i < controls.size(); ++i) {
        const ControlTemplate& control = controls[i];
        QWidget* widget = nullptr;
        switch (control.kind) {
            case ControlKind::PushButton: {
                auto* button = new QPushButton(control.text, this);
                widget = button;
                break;
            }
            case ControlKind::Caption:
            case ControlKind::ValueStatic:
            case ControlKind::CentredStatic: {
                auto* label = new QLabel(control.text, this);
                label->setTextFormat(Qt::PlainText);
                if (control.kind == ControlKind::CentredStatic) {
                    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
                    label->setWordWrap(true);
                } else {
                    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                }
                widget = label;
                break;
            }
            case ControlKind::ReadOnlyEdit: {
                auto* edit = new QPlainTextEdit(this);
                edit->setReadOnly(true);
                edit->setLineWrapMode(QPlainTextEdit::NoWrap);
                edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
                edit->setTabChangesFocus(true);
                widget = edit;
                break;
            }
        }
        widget->setObjectName(QString::fromLatin1(control.objectName));
        widget->setGeometry(rects[i]);
    }

    auto* closeButton = findChild<QPushButton*>(QStringLiteral("closeButton"));
    auto* selectFileButton = findChild<QPushButton*>(QStringLiteral("selectFileButton"));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(selectFileButton, &QPushButton::clicked, this, &DecoderDialog::onSelectFile);
    asciiEdit_ = findChild<QPlainTextEdit*>(QStringLiteral("asciiEdit"));
    statusValue_ = findChild<QLabel*>(QStringLiteral("statusValue"));
    schemeValue_ = findChild<QLabel*>(QStringLiteral("schemeValue"));
    timeValue_ = findChild<QLabel*>(QStringLiteral("timeValue"));
    hexEdit_ = findChild<QPlainTextEdit*>(QStringLiteral("hexEdit"));
}

void DecoderDialog::pushFieldsToControls() {
    asciiEdit_->setPlainText(fieldText(asciiText));
    statusValue_->setText(fieldText(statusText));
    schemeValue_->setText(fieldText(schemeText));
    timeValue_->setText(fieldText(timeText));
    hexEdit_->setPlainText(fieldText(hexText));
}

void DecoderDialog::onSelectFile() {
    const std::optional<QString> chosen = chooseFile_(this);
    if (!chosen) return;
    startTick = tickCount();
    filePath = *chosen;

    asciiText.clear();
    hexText.clear();
    schemeText.clear();
    statusText.clear();

    std::unique_ptr<DecodeContext> context(new (std::nothrow) DecodeContext());
    if (context) {
        context->flags |= StopAtFirstSymbol;
        context->attempts = attempts_;
        ResultFields fields;
        fields.startTick = startTick;
        decodeImageFile(fields, *context, QFile::encodeName(filePath).toStdString());
        releaseSymbols(*context);
        context.reset();
        statusText = fields.statusText;
        schemeText = fields.schemeText;
        asciiText = fields.asciiText;
        hexText = fields.hexText;
        startTick = fields.startTick;
    } else {
        // Without memory for a context there is no decode: shown as a
        // picture that could not be loaded, as when memory runs out later.
        statusText = "Failed!";
        asciiText = kLoadFailureText;
    }

    endTick = tickCount();
    elapsedMs = elapsedTicks(startTick, endTick);
    timeText = millisecondsText(elapsedMs);
    pushFieldsToControls();
}

void DecoderDialog::paintEvent(QPaintEvent* event) {
    if (!isMinimized()) {
        QDialog::paintEvent(event);
        return;
    }
    // Where the platform paints a minimised window itself, the icon stands in
    // for its contents, centred.
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int side = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    const int x = (width() - side + 1) / 2;
    const int y = (height() - side + 1) / 2;
    appIcon.paint(&painter, QRect(x, y, side, side));
}

}  // namespace ternwick
