// The image and line items: icon button, image, line.
#include <QPaintDevice>
#include <QPainter>

#include "platform/qt/DenseImage.h"

#include "view/DrawIconButtonItem.h"
#include "view/DrawImageItem.h"
#include "view/DrawLineItem.h"
#include "view/OutlineText.h"

namespace Draw {
namespace {

// The image of `fileName` for the screens at hand (an "@2x" variant on a
// high-density screen); `ok` turns false when a named file did not load.
QImage LoadOrNothing(const std::wstring& fileName, bool* ok) {
    if (fileName.empty()) {
        return QImage();
    }
    QImage image = platform::LoadImageForScreens(QString::fromStdWString(fileName));
    if (image.isNull()) {
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
    const QSizeF logical = image.deviceIndependentSize();
    const int w = static_cast<int>(logical.width() * (imageX > 0 ? imageX / surfaceX : 1.0));
    const int h = static_cast<int>(logical.height() * (imageY > 0 ? imageY / surfaceY : 1.0));
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
    // A 1x image on a denser surface is enlarged smoothly.
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(atOrigin ? QPoint(0, 0) : QPoint(x, y), image);
    painter.restore();
}

void CDrawLineItem::Draw(QPainter& painter, bool atOrigin) {
    if (!visible || width <= 0) {
        return;
    }
    const QPoint from = atOrigin ? QPoint(0, 0) : QPoint(x, y);
    painter.fillRect(QRect(from.x(), from.y(), width, 1), TextDesigner::ArgbToColor(color));
}

}  // namespace Draw
