#include "view/DrawBackgroundItem.h"

#include <QPainter>
#include <algorithm>

namespace Draw {

void CDrawBackgroundItem::Relayout() {
    cache_ = QImage(std::max(width, 1), std::max(height, 1), QImage::Format_ARGB32_Premultiplied);
    cache_.fill(Qt::transparent);
    cacheValid_ = false;
}

CDrawBackgroundItem::Key CDrawBackgroundItem::CurrentKey() const {
    return {fillColor, frameColor, frameWidth, cornerRadius, noFill, shape, tileImage.cacheKey()};
}

void CDrawBackgroundItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || shape == Model::kShapeNone) {
        return;
    }
    if (cache_.width() != std::max(width, 1) || cache_.height() != std::max(height, 1)) {
        Relayout();
    }
    const Key key = CurrentKey();
    if (!cacheValid_ || !(key == painted_)) {
        cache_.fill(Qt::transparent);
        QPainter cachePainter(&cache_);
        PaintBox(cachePainter, QRect(0, 0, width, height));
        painted_ = key;
        cacheValid_ = true;
    }
    painter.drawImage(atOrigin ? QPoint(0, 0) : QPoint(x, y), cache_);
}

void CDrawBackgroundItem::EraseRect(QPainter& painter, const QRect& rect) const {
    if (cache_.isNull()) {
        return;
    }
    const QRect source = rect.translated(-x, -y).intersected(cache_.rect());
    if (source.isEmpty()) {
        return;
    }
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(source.topLeft() + QPoint(x, y), cache_, source);
    painter.restore();
}

}  // namespace Draw
