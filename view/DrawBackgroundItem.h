// Draw::CDrawBackgroundItem: the window background, a box (DrawBoxItem.h)
// painted into a cache image of the item's size and copied from there. The
// day items erase their cells from that cache. User-interface thread only.
#pragma once

#include <QImage>

#include "view/DrawBoxItem.h"

namespace Draw {

class CDrawBackgroundItem : public CDrawBoxItem {
public:
    CDrawBackgroundItem() : CDrawBoxItem(kKindBackground) {}

    // Re-creates the cache at the item's size.
    void Relayout() override;
    // Paints the box into the cache, then the cache onto the target.
    void Draw(QPainter& painter, bool atOrigin) override;
    // Copies the cached background under `rect` (window coordinates) onto
    // the target, replacing what was there.
    void EraseRect(QPainter& painter, const QRect& rect) const;

    const QImage& Cache() const { return cache_; }

private:
    // What the cache was painted from; an unchanged box is not repainted.
    struct Key {
        Model::ArgbColor fill, frame;
        int32_t frameWidth, radius, noFill, shape;
        qint64 image;
        bool operator==(const Key&) const = default;
    };
    Key CurrentKey() const;

    QImage cache_;
    Key painted_{};
    bool cacheValid_ = false;
};

}  // namespace Draw
