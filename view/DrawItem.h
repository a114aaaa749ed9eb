// Draw::CDrawItem: one retained item of a self-drawn window's display list.
// A window owns its items as members, lists pointers to them in painting
// order, sets their rectangles during layout and repaints them into its back
// buffer. An item also carries the message a click on it posts, and answers
// hit tests and hover changes. User-interface thread only.
#pragma once

#include <QRect>
#include <cstdint>
#include <string>

#include "platform/WindowMessages.h"

class QPainter;

namespace Draw {

enum ItemKind : int32_t {
    kKindLine = 0,
    kKindText = 1,
    kKindSimpleText = 2,
    kKindImage = 3,
    kKindBox = 4,
    kKindBackground = 5,
    kKindIconButton = 6,
    kKindDay = 7,
};

class CDrawItem {
public:
    explicit CDrawItem(ItemKind kind) : kind_(kind) {}
    virtual ~CDrawItem() = default;
    CDrawItem(const CDrawItem&) = delete;
    CDrawItem& operator=(const CDrawItem&) = delete;

    // Posts the item's message to its target window.
    virtual void Notify();
    // Paints the item; with `atOrigin` as if its rectangle started at (0, 0).
    virtual void Draw(QPainter& painter, bool atOrigin) = 0;
    // Re-derives the item's parts after its rectangle changed.
    virtual void Relayout() {}
    virtual void SetText(const std::wstring& text) { text_ = text; }
    const std::wstring& GetText() const { return text_; }

    void SetRect(int x, int y, int width, int height);
    QRect Rect() const { return {x, y, width, height}; }
    // True for x in [x, x + width) and y in [y, y + height).
    bool HitTest(int px, int py) const;
    // Sets or clears the hover flag, repaints the item alone on `painter`
    // (when given) and returns the rectangle to invalidate.
    QRect SetHover(QPainter* painter);
    QRect ClearHover(QPainter* painter);

    ItemKind Kind() const { return kind_; }

    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t clickable = 0;
    int32_t hover = 0;
    platform::WindowHandle targetWindow = 0;
    uint32_t message = 0;
    uint32_t wParam = 0;
    uint32_t lParam = 0;
    int32_t visible = 1;

protected:
    std::wstring text_;

private:
    QRect ChangeHover(QPainter* painter, int32_t on);
    const ItemKind kind_;
};

}  // namespace Draw
