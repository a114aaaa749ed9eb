#include "view/DrawSimpleTextItem.h"

#include <QPainter>

#include "view/OutlineText.h"

namespace Draw {

void CDrawSimpleTextItem::Draw(QPainter& painter, bool) {
    if (!visible) {
        return;
    }
    painter.save();
    const QRect box(x, y, width - 1, height - 1);
    if (fillOn) {
        painter.fillRect(box, TextDesigner::ArgbToColor(fillColor));
    }
    if (frameOn) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(TextDesigner::ArgbToColor(frameColor), 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    if (font != nullptr) {
        painter.setFont(*font);
    }
    painter.setPen(TextDesigner::ArgbToColor(textColor));
    painter.drawText(QRect(x + textOffsetX, y + textOffsetY, width, height),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     QString::fromStdWString(text_));
    painter.restore();
}

}  // namespace Draw
