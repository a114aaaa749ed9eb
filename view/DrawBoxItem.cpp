#include "view/DrawBoxItem.h"

#include <QPainter>
#include <QPainterPath>

#include "view/OutlineText.h"

namespace Draw {
namespace {

QPainterPath RoundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

}  // namespace

bool CDrawBoxItem::LoadTileImage(const std::wstring& fileName) {
    tileImage = QImage();
    if (fileName.empty()) {
        return true;
    }
    return tileImage.load(QString::fromStdWString(fileName));
}

void CDrawBoxItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || shape == Model::kShapeNone) {
        return;
    }
    PaintBox(painter, atOrigin ? QRect(0, 0, width, height) : Rect());
}

void CDrawBoxItem::PaintBox(QPainter& painter, const QRect& rect) const {
    if (shape != Model::kShapeRectangle && shape != Model::kShapeRoundRect) {
        return;
    }
    painter.save();
    const bool image = !tileImage.isNull();
    if (image && rect.width() > 0 && rect.height() > 0) {
        // Column by column from the left, each from the top down.
        painter.setClipRect(rect, Qt::IntersectClip);
        for (int cx = rect.left(); cx < rect.left() + rect.width(); cx += tileImage.width()) {
            for (int cy = rect.top(); cy < rect.top() + rect.height(); cy += tileImage.height()) {
                painter.drawImage(cx, cy, tileImage);
            }
        }
        painter.setClipping(false);
    }
    const QColor fill = TextDesigner::ArgbToColor(fillColor);
    const QColor frame = TextDesigner::ArgbToColor(frameColor);
    // The covered pixels: (x, y) to (x + width, y + height) inclusive.
    const QRectF area(rect.x(), rect.y(), rect.width() + 1, rect.height() + 1);
    if (shape == Model::kShapeRectangle) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        if (!noFill && !image) {
            painter.fillRect(area, fill);
        }
        for (int i = 0; i < frameWidth; ++i) {
            const QRectF ring = area.adjusted(i, i, -i, -i);
            if (ring.width() <= 0 || ring.height() <= 0) {
                break;
            }
            painter.fillRect(QRectF(ring.left(), ring.top(), ring.width(), 1), frame);
            painter.fillRect(QRectF(ring.left(), ring.bottom() - 1, ring.width(), 1), frame);
            painter.fillRect(QRectF(ring.left(), ring.top() + 1, 1, ring.height() - 2), frame);
            painter.fillRect(QRectF(ring.right() - 1, ring.top() + 1, 1, ring.height() - 2), frame);
        }
    } else {
        painter.setRenderHint(QPainter::Antialiasing, true);
        if (!noFill && !image) {
            painter.fillPath(RoundedRect(area, cornerRadius), fill);
        }
        // One one-pixel rounded outline per pixel of frame width, each
        // shrunk by one pixel on every side.
        const QPen pen(frame, 1.0);
        for (int i = 0; i < frameWidth; ++i) {
            const QRectF ring = area.adjusted(0.5 + i, 0.5 + i, -0.5 - i, -0.5 - i);
            if (ring.width() <= 0 || ring.height() <= 0) {
                break;
            }
            painter.strokePath(RoundedRect(ring, std::max<qreal>(cornerRadius - i, 0)), pen);
        }
    }
    painter.restore();
}

}  // namespace Draw
