#include "view/DrawItem.h"

#include <QPainter>

namespace Draw {

void CDrawItem::Notify() {
    platform::PostMessage(targetWindow, message, wParam, lParam);
}

void CDrawItem::SetRect(int newX, int newY, int newWidth, int newHeight) {
    x = newX;
    y = newY;
    width = newWidth;
    height = newHeight;
}

bool CDrawItem::HitTest(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
}

QRect CDrawItem::ChangeHover(QPainter* painter, int32_t on) {
    hover = on;
    if (painter != nullptr) {
        Draw(*painter, false);
    }
    return QRect(QPoint(x, y), QPoint(x + width, y + height));
}

QRect CDrawItem::SetHover(QPainter* painter) {
    return ChangeHover(painter, 1);
}

QRect CDrawItem::ClearHover(QPainter* painter) {
    return ChangeHover(painter, 0);
}

}  // namespace Draw
