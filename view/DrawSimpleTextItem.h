// Draw::CDrawSimpleTextItem: plain text in a font, optionally on a filled and
// framed rectangle, near-aligned with an offset (the rows of the event
// popup). The font is borrowed. User-interface thread only.
#pragma once

#include <QFont>

#include "model/StyleInfo.h"
#include "view/DrawItem.h"

namespace Draw {

class CDrawSimpleTextItem : public CDrawItem {
public:
    CDrawSimpleTextItem() : CDrawItem(kKindSimpleText) {}

    // Draws in window coordinates; `atOrigin` is not used by this item.
    void Draw(QPainter& painter, bool atOrigin) override;

    int32_t fillOn = 0;
    int32_t frameOn = 0;
    Model::ArgbColor textColor = 0xFF000000;
    Model::ArgbColor fillColor = 0xFF000000;
    Model::ArgbColor frameColor = 0xFF000000;
    int32_t textOffsetX = 0;
    int32_t textOffsetY = 0;
    const QFont* font = nullptr;  // not owned; null: the application font
};

}  // namespace Draw
