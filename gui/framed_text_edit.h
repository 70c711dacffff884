// A read-only text box whose frame stays whole at every display scale.
#pragma once

#include <QPlainTextEdit>

namespace ternwick {

// A QPlainTextEdit whose frame is drawn once more, above its viewport and
// scroll bars. At a fractional scale factor (1.25, 1.5) the box's edges fall
// between device pixels: the style's one-pixel line then lands on a pixel
// outside the box's rounded rectangle, or under a child's, and the box loses
// a border. There the frame is drawn again on top, in device pixels inside
// those the box covers whole, and is always seen. At a whole scale factor the
// style's own frame is whole and is left alone.
class FramedTextEdit : public QPlainTextEdit {
public:
    explicit FramedTextEdit(QWidget* parent = nullptr);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class FrameOverlay;
    FrameOverlay* overlay_ = nullptr;
};

}  // namespace ternwick
