// Draw::CDrawBoxItem: a filled and framed rectangle or rounded rectangle,
// optionally covered by a tiled image. The box given as (x, y, width, height)
// covers the pixels from (x, y) to (x + width, y + height) inclusive, the
// frame on its outermost pixels (so a window frame placed at
// (0, 0, width - 1, height - 1) runs along the window's edge).
// User-interface thread only.
#pragma once

#include <QImage>
#include <string>

#include "model/StyleInfo.h"
#include "view/DrawItem.h"

namespace Draw {

class CDrawBoxItem : public CDrawItem {
public:
    CDrawBoxItem() : CDrawItem(kKindBox) {}

    void Draw(QPainter& painter, bool atOrigin) override;

    // Loads the tile image; an empty name removes it, a missing or unreadable
    // file leaves the box without one (false).
    bool LoadTileImage(const std::wstring& fileName);
    void SetTileImage(const QImage& image) { tileImage = image; }

    Model::ArgbColor fillColor = 0xFFFFFFFF;
    Model::ArgbColor frameColor = 0xFF808080;
    int32_t frameWidth = 1;
    int32_t cornerRadius = 4;
    int32_t noFill = 0;
    int32_t shape = Model::kShapeRectangle;
    QImage tileImage;

protected:
    explicit CDrawBoxItem(ItemKind kind) : CDrawItem(kind) {}
    // Paints the box into `rect` (already moved for at-origin drawing).
    void PaintBox(QPainter& painter, const QRect& rect) const;
};

}  // namespace Draw
