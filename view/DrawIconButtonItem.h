// Draw::CDrawIconButtonItem: an image button (icon bar, registration
// window): its normal image, or its hover image while hovered, on an optional
// filled background. Owns its images. User-interface thread only.
#pragma once

#include <QImage>
#include <string>

#include "model/StyleInfo.h"
#include "view/DrawItem.h"

namespace Draw {

class CDrawIconButtonItem : public CDrawItem {
public:
    CDrawIconButtonItem() : CDrawItem(kKindIconButton) { clickable = 1; }

    void Draw(QPainter& painter, bool atOrigin) override;

    // Replaces both images; an empty name, a missing or unreadable file
    // leaves that image absent. False when a named file did not load.
    bool LoadImages(const std::wstring& normalFile, const std::wstring& hoverFile);

    int32_t backgroundFillOn = 0;
    Model::ArgbColor backgroundColor = 0xFF000000;
    QImage normalImage;
    QImage hoverImage;
};

}  // namespace Draw
