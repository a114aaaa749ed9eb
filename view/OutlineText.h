// TextDesigner::COutlineText: draws text as glyph outlines: the glyphs are
// built as a path from the font family, style and em size (in pixels), an
// optional shadow is painted first at its offset, then the outline is
// stroked round the glyphs and the glyphs are filled with the text colour.
// The glyph path is kept until the text or font changes, so a display list
// that is repainted unchanged does not rebuild it.
// Owned by one draw item; user-interface thread.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <string>

#include "model/StyleInfo.h"

class QPainter;

namespace TextDesigner {

class COutlineText {
public:
    COutlineText();

    // Font of the glyphs: family (empty: the default sans-serif family),
    // FontStyleBits, em size in pixels.
    void SetFont(const std::wstring& family, int style, int emSize);
    void SetTextColor(QColor color) { textColor_ = color; }
    // Thickness 0 (or a transparent colour) draws no outline.
    void SetOutline(QColor color, int thickness);
    void SetShadow(bool on, QColor color, int thickness, int offsetX, int offsetY);

    // Text whose line box starts at `origin` (left, top).
    void DrawString(QPainter& painter, const std::wstring& text, QPointF origin);
    // Text laid out on one line in `rect` with the given alignments.
    void DrawString(QPainter& painter, const std::wstring& text, const QRectF& rect,
                    const Model::StringFormat& format);

    // Size of the drawn text: its line box widened by the outline and the
    // shadow's offset.
    QSizeF MeasureString(const std::wstring& text);

    const QFont& Font() const { return font_; }

private:
    const QPainterPath& GlyphPath(const std::wstring& text);
    // Paints shadow, outline and fill of the glyph path at (0, 0).
    void PaintGlyphs(QPainter& painter, const QPainterPath& path) const;
    QSizeF LineBox(const std::wstring& text);

    QFont font_;
    qreal ascent_ = 0;
    qreal lineHeight_ = 0;
    QColor textColor_ = Qt::black;
    QColor outlineColor_ = Qt::transparent;
    int outlineThickness_ = 0;
    bool shadow_ = false;
    QColor shadowColor_ = Qt::gray;
    int shadowThickness_ = 0;
    int shadowOffsetX_ = 0;
    int shadowOffsetY_ = 0;

    // The glyph path of cachedText_ in font_, origin at the line box's top left.
    std::wstring cachedText_;
    bool cacheValid_ = false;
    QPainterPath path_;
    qreal advance_ = 0;

    // The last rendering as an image, reused while nothing that shows in it
    // changed (text, font, colours, thicknesses, offsets, sub-pixel origin).
    struct RenderKey {
        QRgb text, outline, shadow;
        int outlineThickness, shadowThickness, shadowX, shadowY;
        bool shadowOn;
        int fracX, fracY;
        int ratio;  // the surface's device pixel ratio × 64
        bool operator==(const RenderKey&) const = default;
    };
    bool renderValid_ = false;
    RenderKey renderKey_{};
    QImage render_;
    QPoint renderOffset_;
};

// A QColor from a 32-bit ARGB style colour.
inline QColor ArgbToColor(Model::ArgbColor argb) {
    return QColor::fromRgba(argb);
}

}  // namespace TextDesigner
