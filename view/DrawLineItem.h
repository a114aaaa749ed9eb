// Draw::CDrawLineItem: a one-pixel horizontal line from (x, y) over the
// item's width. User-interface thread only.
#pragma once

#include "model/StyleInfo.h"
#include "view/DrawItem.h"

namespace Draw {

class CDrawLineItem : public CDrawItem {
public:
    CDrawLineItem() : CDrawItem(kKindLine) {}

    void Draw(QPainter& painter, bool atOrigin) override;

    Model::ArgbColor color = 0xFFFFFFFF;
};

}  // namespace Draw
