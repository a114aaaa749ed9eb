#include "view/DrawTextItem.h"

#include <QPainter>

namespace Draw {

void CDrawTextItem::Configure(Model::ArgbColor color) {
    renderer_.SetFont(style_.fontFamily, style_.fontStyle, style_.fontSize);
    renderer_.SetTextColor(TextDesigner::ArgbToColor(color));
    if (style_.outline) {
        renderer_.SetOutline(TextDesigner::ArgbToColor(style_.outlineColor),
                             style_.outlineThickness);
    } else {
        renderer_.SetOutline(QColor(Qt::transparent), 0);
    }
    renderer_.SetShadow(style_.shadow != 0, TextDesigner::ArgbToColor(style_.shadowColor),
                        style_.shadowThickness, style_.shadowOffsetX, style_.shadowOffsetY);
}

TextDesigner::COutlineText& CDrawTextItem::Renderer() {
    Configure(style_.color);
    return renderer_;
}

void CDrawTextItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible) {
        return;
    }
    const QRect rect = atOrigin ? QRect(0, 0, width, height) : Rect();
    if (fillBackground) {
        painter.fillRect(rect, TextDesigner::ArgbToColor(backgroundColor));
    }
    if (!style_.visible) {
        return;
    }
    Configure(hoverColorOn && hover ? hoverColor : style_.color);
    if (style_.usePosition) {
        renderer_.DrawString(painter, text_,
                             QPointF(rect.x() + style_.positionX, rect.y() + style_.positionY));
    } else {
        renderer_.DrawString(painter, text_, QRectF(rect), style_.format);
    }
}

}  // namespace Draw
