// The decoder's dialog: a button to choose a picture, one to close, and the
// five result fields of the latest decode. A picture also comes from the
// command line or by drag and drop.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QMimeData;
class QPlainTextEdit;

namespace ternwick {

class ScanLineAttempts;

// Asks the user for a picture file: its path, or nothing when the user cancels.
using FileChooser = std::function<std::optional<QString>(QWidget* parent)>;

// The filters of the file-open dialog, BMP files first.
QStringList imageFileFilters();

// The file-open dialog the program uses: Qt's own (not the desktop's), so it
// speaks the language of the translation the application loaded.
std::optional<QString> chooseImageFile(QWidget* parent);

// The program's icon, from the program's resources.
QIcon applicationIcon();

// How a result text is shown: UTF-8 when its bytes are UTF-8 (a character cut
// off at the end of a full field is left out), otherwise one character per
// byte as ISO 8859-1, the character set a symbol's bytes have unless it says
// otherwise.
QString fieldText(const std::string& bytes);

// The picture a drag carries, when the dialog takes it: exactly one local
// file whose name the decoder accepts (.png or .bmp, any letter case).
std::optional<QString> droppedPicture(const QMimeData& data);

class DecoderDialog : public QDialog {
    Q_OBJECT

public:
    explicit DecoderDialog(FileChooser chooseFile = chooseImageFile, QWidget* parent = nullptr);

    // Scan-line attempts the decodes of this dialog use instead of the
    // decoder's own (null: the decoder's own); lets a test stand in for a
    // decoder that finds a symbol.
    void setScanLineAttempts(ScanLineAttempts* attempts);

    // Lets the user choose a file and decodes it; a cancelled choice changes nothing.
    void onSelectFile();

    // Decodes the picture at `path` and shows its results, as choosing it does.
    void decodeFile(const QString& path);

    // Decodes `path` once the dialog has first been painted, so that the user
    // sees the window while a long decode runs.
    void decodeWhenShown(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    // Shows the five result members on their controls, and the whole message
    // in the tooltips of the text and hexadecimal fields.
    void pushFieldsToControls();
    // Decodes `path` once control is back in the event loop.
    void queueDecode(const QString& path);

    QIcon appIcon;
    QString filePath;
    std::int32_t startTick = 0;
    std::int32_t endTick = 0;
    std::int32_t elapsedMs = 0;
    std::string asciiText;
    std::string statusText;
    std::string schemeText;
    std::string timeText;
    std::string hexText;
    bool decoded = false;
    std::vector<std::uint8_t> message;  // the whole message of the decoded symbol

    FileChooser chooseFile_;
    ScanLineAttempts* attempts_ = nullptr;
    QPlainTextEdit* asciiEdit_ = nullptr;
    QLabel* statusValue_ = nullptr;
    QLabel* schemeValue_ = nullptr;
    QLabel* timeValue_ = nullptr;
    QPlainTextEdit* hexEdit_ = nullptr;
    std::optional<QString> fileWhenShown_;
    bool painted_ = false;
};

}  // namespace ternwick
