// The image and line items: icon button, image, line.
#include <QPaintDevice>
#include <QPainter>

#include "view/DrawIconButtonItem.h"
#include "view/DrawImageItem.h"
#include "view/DrawLineItem.h"
#include "view/OutlineText.h"

namespace Draw {
namespace {

QImage LoadOrNothing(const std::wstring& fileName, bool* ok) {
    QImage image;
    if (!fileName.empty() && !image.load(QString::fromStdWString(fileName))) {
        *ok = false;
    }
    return image;
}

}  // namespace

bool CDrawIconButtonItem::LoadImages(const std::wstring& normalFile,
                                     const std::wstring& hoverFile) {
    bool ok = true;
    normalImage = LoadOrNothing(normalFile, &ok);
    hoverImage = LoadOrNothing(hoverFile, &ok);
    return ok;
}

void CDrawIconButtonItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || (width == 0 && height == 0)) {
        return;
    }
    const QRect rect = atOrigin ? QRect(0, 0, width, height) : Rect();
    if (backgroundFillOn) {
        painter.fillRect(rect, TextDesigner::ArgbToColor(backgroundColor));
    }
    const QImage& image = hover ? hoverImage : normalImage;
    if (image.isNull()) {
        return;
    }
    // The image's own resolution against the surface's.
    const QPaintDevice* device = painter.device();
    const double surfaceX = device ? device->logicalDpiX() : 96.0;
    const double surfaceY = device ? device->logicalDpiY() : 96.0;
    const double imageX = image.dotsPerMeterX() * 0.0254;
    const double imageY = image.dotsPerMeterY() * 0.0254;
    const int w = static_cast<int>(image.width() * (imageX > 0 ? imageX / surfaceX : 1.0));
    const int h = static_cast<int>(image.height() * (imageY > 0 ? imageY / surfaceY : 1.0));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRect(rect.x(), rect.y(), w, h), image);
    painter.restore();
}

bool CDrawImageItem::LoadImage(const std::wstring& fileName) {
    bool ok = true;
    image = LoadOrNothing(fileName, &ok);
    return ok && !image.isNull();
}

void CDrawImageItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || image.isNull()) {
        return;
    }
    painter.drawImage(atOrigin ? QPoint(0, 0) : QPoint(x, y), image);
}

void CDrawLineItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || width <= 0) {
        return;
    }
    const QPoint from = atOrigin ? QPoint(0, 0) : QPoint(x, y);
    painter.fillRect(QRect(from.x(), from.y(), width, 1), TextDesigner::ArgbToColor(color));
}

}  // namespace Draw
