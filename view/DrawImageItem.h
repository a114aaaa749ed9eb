// Draw::CDrawImageItem: an image drawn unscaled at the item's position.
// Owns its image. User-interface thread only.
#pragma once

#include <QImage>
#include <string>

#include "view/DrawItem.h"

namespace Draw {

class CDrawImageItem : public CDrawItem {
public:
    CDrawImageItem() : CDrawItem(kKindImage) {}

    void Draw(QPainter& painter, bool atOrigin) override;
    // Replaces the image; a missing or unreadable file leaves it absent
    // (false), and the item then draws nothing.
    bool LoadImage(const std::wstring& fileName);

    QImage image;
};

}  // namespace Draw
