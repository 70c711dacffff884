#include "decoder_dialog.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <new>

#include "driver/decode_driver.h"
#include "dialog_layout.h"
#include "framed_text_edit.h"

namespace ternwick {
namespace {

// Bytes as text: UTF-8 when they are UTF-8 (a character cut off at the end is
// left out when `mayBeCut`), otherwise one character per byte as ISO 8859-1.
QString decodeBytes(const char* bytes, std::size_t size, bool mayBeCut) {
    const QByteArrayView view(bytes, static_cast<qsizetype>(size));
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(view);
    if (!utf8.hasError()) {
        // The decoder holds back an unfinished sequence at the end; a byte
        // that cannot continue one comes out unchanged only when there is none.
        const QString probe = utf8.decode(QByteArrayView("\n", 1));
        const bool unfinished = probe != QStringLiteral("\n");
        if (!unfinished || mayBeCut) return text;
    }
    return QString::fromLatin1(view);
}

// Characters a tooltip line holds at the most.
constexpr qsizetype kToolTipLineLength = 64;

// Pieces of text as a tooltip: on lines of at most kToolTipLineLength
// characters (a piece is never split), every character shown as it is, never
// read as markup.
QString toolTipOf(const QStringList& pieces) {
    QString lines;
    qsizetype lineLength = 0;
    for (const QString& piece : pieces) {
        if (lineLength > 0 && lineLength + piece.size() > kToolTipLineLength) {
            lines += QLatin1Char('\n');
            lineLength = 0;
        }
        lines += piece;
        lineLength += piece.size();
    }
    return lines.isEmpty() ? QString() : Qt::convertFromPlainText(lines, Qt::WhiteSpacePre);
}

// A text one piece a character; a character beyond the 16-bit range keeps
// both its halves in one piece.
QStringList characters(const QString& text) {
    QStringList pieces;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        pieces += text.mid(i, pair ? 2 : 1);
        if (pair) ++i;
    }
    return pieces;
}

// The whole message as text, decoded as the text field decodes its bytes,
// one piece a character; control characters and the backslash escaped (\n,
// \t, \r, \\, \xNN) so that every byte is seen.
QStringList escapedCharacters(const std::vector<std::uint8_t>& message) {
    QStringList pieces = characters(decodeBytes(reinterpret_cast<const char*>(message.data()), message.size(), false));
    for (QString& piece : pieces) {
        const char16_t code = piece.front().unicode();
        if (code == u'\n') {
            piece = QStringLiteral("\\n");
        } else if (code == u'\t') {
            piece = QStringLiteral("\\t");
        } else if (code == u'\r') {
            piece = QStringLiteral("\\r");
        } else if (code == u'\\') {
            piece = QStringLiteral("\\\\");
        } else if (code < 0x20 || (code >= 0x7F && code < 0xA0)) {
            piece = QString::asprintf("\\x%02X", static_cast<unsigned>(code));
        }
    }
    return pieces;
}

// The whole message in upper-case hexadecimal, one piece a byte.
QStringList hexBytes(const std::vector<std::uint8_t>& message) {
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char*>(message.data()), static_cast<qsizetype>(message.size()))
            .toHex()
            .toUpper();
    QStringList pieces;
    for (qsizetype i = 0; i < hex.size(); i += 2) pieces += QString::fromLatin1(hex.mid(i, 2));
    return pieces;
}

}  // namespace

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
    return decodeBytes(bytes.data(), bytes.size(), bytes.size() == static_cast<std::size_t>(kShownMessageBytes));
}

std::optional<QString> droppedPicture(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    const QString path = urls.front().toLocalFile();
    if (imageFileKind(QFile::encodeName(path).toStdString()) == ImageFileKind::NotAccepted) return std::nullopt;
    return path;
}

DecoderDialog::DecoderDialog(FileChooser chooseFile, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      appIcon(applicationIcon()),
      chooseFile_(std::move(chooseFile)) {
    setWindowTitle(QStringLiteral("Ternwick"));
    setWindowIcon(appIcon);
    setFont(dialogFont());
    setAcceptDrops(true);
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
                auto* edit = new FramedTextEdit(this);
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
    // Enter chooses a file, the usual first step, rather than ending the program.
    selectFileButton->setDefault(true);
    selectFileButton->setFocus();
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
    // The fields show twelve bytes; the tooltips the whole message, or else
    // the whole text the field holds (such as the load-failure text).
    asciiEdit_->setToolTip(decoded ? toolTipOf(escapedCharacters(message))
                                   : toolTipOf(characters(asciiEdit_->toPlainText())));
    hexEdit_->setToolTip(toolTipOf(hexBytes(message)));
}

void DecoderDialog::onSelectFile() {
    const std::optional<QString> chosen = chooseFile_(this);
    if (chosen) decodeFile(*chosen);
}

void DecoderDialog::decodeWhenShown(const QString& path) {
    if (painted_) {
        queueDecode(path);
    } else {
        fileWhenShown_ = path;
    }
}

void DecoderDialog::queueDecode(const QString& path) {
    QTimer::singleShot(0, this, [this, path] { decodeFile(path); });
}

void DecoderDialog::decodeFile(const QString& path) {
    startTick = tickCount();
    filePath = path;

    asciiText.clear();
    hexText.clear();
    schemeText.clear();
    statusText.clear();
    decoded = false;
    message.clear();

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
        decoded = fields.decoded;
        message = std::move(fields.message);
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
        painted_ = true;
        if (fileWhenShown_) {
            queueDecode(*fileWhenShown_);
            fileWhenShown_.reset();
        }
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

// A picture is taken as the drag enters and while it moves; anything else
// is refused, which the drag cursor shows.
void DecoderDialog::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void DecoderDialog::dragMoveEvent(QDragMoveEvent* event) {
    if (droppedPicture(*event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void DecoderDialog::dropEvent(QDropEvent* event) {
    const std::optional<QString> picture = droppedPicture(*event->mimeData());
    if (!picture) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The drop ends before the decode starts: the program the picture came
    // from does not wait for the decode.
    queueDecode(*picture);
}

}  // namespace ternwick
