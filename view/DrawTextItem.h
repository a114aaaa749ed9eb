// Draw::CDrawTextItem: a text drawn with a TextStyle through the outline-text
// renderer: aligned in the item's rectangle or at the style's fixed point,
// with the style's outline and shadow, in the hover colour while hovered
// when that is on. User-interface thread only.
#pragma once

#include "model/StyleInfo.h"
#include "view/DrawItem.h"
#include "view/OutlineText.h"

namespace Draw {

class CDrawTextItem : public CDrawItem {
public:
    CDrawTextItem() : CDrawItem(kKindText) {}

    void Draw(QPainter& painter, bool atOrigin) override;

    void SetStyle(const Model::TextStyle& style) { style_ = style; }
    const Model::TextStyle& Style() const { return style_; }
    // The renderer configured from the style (for measuring).
    TextDesigner::COutlineText& Renderer();

    int32_t hoverColorOn = 0;
    Model::ArgbColor hoverColor = 0xFF000000;
    int32_t fillBackground = 0;
    Model::ArgbColor backgroundColor = 0xFF000000;

private:
    void Configure(Model::ArgbColor color);

    Model::TextStyle style_;
    TextDesigner::COutlineText renderer_;
};

}  // namespace Draw
