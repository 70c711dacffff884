#include "framed_text_edit.h"

#include <QPainter>
#include <QStyleOptionFrame>
#include <QtMath>
#include <cmath>

namespace ternwick {

// Paints the edit's frame, as the edit's style draws it, and nothing else;
// mouse events and focus pass through to the widgets below.
class FramedTextEdit::FrameOverlay : public QWidget {
public:
    explicit FrameOverlay(FramedTextEdit* edit) : QWidget(edit), edit_(edit) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const qreal ratio = devicePixelRatioF();
        if (ratio == std::floor(ratio)) return;  // the style's own frame is whole
        // In device pixels, inside those this widget covers whole, whatever
        // the rounding of its own and its neighbours' edges.
        QPainter painter(this);
        const QTransform toDevice = painter.deviceTransform();
        const QRectF device = toDevice.mapRect(QRectF(rect()));
        const QPoint origin(qCeil(device.left()), qCeil(device.top()));
        const QPoint end(qFloor(device.right()), qFloor(device.bottom()));
        painter.setWorldTransform(QTransform::fromTranslate(origin.x(), origin.y()) * toDevice.inverted());
        QStyleOptionFrame option;
        edit_->initStyleOption(&option);
        option.rect = QRect(0, 0, end.x() - origin.x(), end.y() - origin.y());
        style()->drawControl(QStyle::CE_ShapedFrame, &option, &painter, edit_);
    }

private:
    FramedTextEdit* edit_;
};

FramedTextEdit::FramedTextEdit(QWidget* parent) : QPlainTextEdit(parent), overlay_(new FrameOverlay(this)) {
    overlay_->setGeometry(rect());
    overlay_->raise();
}

void FramedTextEdit::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    overlay_->setGeometry(rect());
    overlay_->raise();
}

}  // namespace ternwick
