#include "view/OutlineText.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace TextDesigner {

COutlineText::COutlineText() {
    SetFont(L"", Model::kFontRegular, 10);
}

void COutlineText::SetFont(const std::wstring& family, int style, int emSize) {
    QFont font(family.empty() ? QStringLiteral("sans-serif") : QString::fromStdWString(family));
    if (family.empty()) {
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPixelSize(std::max(emSize, 1));
    font.setBold((style & Model::kFontBold) != 0);
    font.setItalic((style & Model::kFontItalic) != 0);
    font.setUnderline((style & Model::kFontUnderline) != 0);
    font.setStrikeOut((style & Model::kFontStrikeout) != 0);
    if (font == font_ && cacheValid_) {
        return;
    }
    font_ = font;
    const QFontMetricsF metrics(font_);
    ascent_ = metrics.ascent();
    lineHeight_ = metrics.height();
    cacheValid_ = false;
}

void COutlineText::SetOutline(QColor color, int thickness) {
    outlineColor_ = color;
    outlineThickness_ = std::max(thickness, 0);
}

void COutlineText::SetShadow(bool on, QColor color, int thickness, int offsetX, int offsetY) {
    shadow_ = on;
    shadowColor_ = color;
    shadowThickness_ = std::max(thickness, 0);
    shadowOffsetX_ = offsetX;
    shadowOffsetY_ = offsetY;
}

const QPainterPath& COutlineText::GlyphPath(const std::wstring& text) {
    if (cacheValid_ && text == cachedText_) {
        return path_;
    }
    const QString qtext = QString::fromStdWString(text);
    QFont glyphFont = font_;
    glyphFont.setUnderline(false);
    glyphFont.setStrikeOut(false);
    QPainterPath path;
    path.addText(QPointF(0, ascent_), glyphFont, qtext);
    const QFontMetricsF metrics(font_);
    advance_ = metrics.horizontalAdvance(qtext);
    // Underline and strikeout as bars under and through the glyphs.
    const qreal bar = std::max<qreal>(1.0, metrics.lineWidth());
    if (font_.underline() && advance_ > 0) {
        path.addRect(QRectF(0, ascent_ + metrics.underlinePos(), advance_, bar));
    }
    if (font_.strikeOut() && advance_ > 0) {
        path.addRect(QRectF(0, ascent_ - metrics.strikeOutPos(), advance_, bar));
    }
    path.setFillRule(Qt::WindingFill);
    path_ = path;
    cachedText_ = text;
    cacheValid_ = true;
    // A measurement may come first (aligned drawing does): the kept image
    // shows the glyphs of the path it replaces.
    renderValid_ = false;
    return path_;
}

QSizeF COutlineText::LineBox(const std::wstring& text) {
    GlyphPath(text);
    return {advance_, lineHeight_};
}

QSizeF COutlineText::MeasureString(const std::wstring& text) {
    const QSizeF box = LineBox(text);
    qreal extra = outlineThickness_;
    qreal w = box.width() + extra;
    qreal h = box.height() + extra;
    if (shadow_) {
        w += std::abs(shadowOffsetX_);
        h += std::abs(shadowOffsetY_);
    }
    return {w, h};
}

void COutlineText::PaintGlyphs(QPainter& painter, const QPainterPath& path) const {
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (shadow_ && shadowColor_.alpha() > 0) {
        painter.save();
        painter.translate(shadowOffsetX_, shadowOffsetY_);
        if (shadowThickness_ > 0) {
            painter.strokePath(path, QPen(shadowColor_, shadowThickness_, Qt::SolidLine,
                                          Qt::RoundCap, Qt::RoundJoin));
        }
        painter.fillPath(path, shadowColor_);
        painter.restore();
    }
    if (outlineThickness_ > 0 && outlineColor_.alpha() > 0) {
        painter.strokePath(path, QPen(outlineColor_, outlineThickness_, Qt::SolidLine, Qt::RoundCap,
                                      Qt::RoundJoin));
    }
    painter.fillPath(path, textColor_);
}

void COutlineText::DrawString(QPainter& painter, const std::wstring& text, QPointF origin) {
    if (text.empty()) {
        return;
    }
    const bool pathChanged = !(cacheValid_ && text == cachedText_);
    const QPainterPath& path = GlyphPath(text);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const QTransform& transform = painter.worldTransform();
    if (transform.type() > QTransform::TxTranslate) {
        painter.save();
        painter.translate(origin);
        PaintGlyphs(painter, path);
        painter.restore();
        return;
    }
    // Drawn once into an image at the origin's sub-pixel phase, then copied;
    // painting the copy over the target gives the same pixels as painting
    // the glyphs there. Phase and image are in device pixels: on a surface
    // of pixel ratio 2 the copy holds the glyphs at twice the resolution.
    const QPaintDevice* surface = painter.device();
    const qreal ratio =
        surface != nullptr && surface->devicePixelRatioF() > 0 ? surface->devicePixelRatioF() : 1.0;
    const QPointF device = transform.map(origin) * ratio;
    const QPointF whole(std::floor(device.x()), std::floor(device.y()));
    const RenderKey key{textColor_.rgba(),
                        outlineColor_.rgba(),
                        shadowColor_.rgba(),
                        outlineThickness_,
                        shadowThickness_,
                        shadowOffsetX_,
                        shadowOffsetY_,
                        shadow_,
                        static_cast<int>((device.x() - whole.x()) * 64),
                        static_cast<int>((device.y() - whole.y()) * 64),
                        static_cast<int>(std::lround(ratio * 64))};
    if (pathChanged || !(key == renderKey_)) {
        // A text seen for the first time is painted directly; only one that
        // comes back unchanged is worth an image.
        renderKey_ = key;
        renderValid_ = false;
        painter.save();
        painter.translate(origin);
        PaintGlyphs(painter, path);
        painter.restore();
        return;
    }
    if (!renderValid_) {
        const qreal pad = outlineThickness_ + (shadow_ ? shadowThickness_ : 0) + 2;
        QRectF bounds = path.boundingRect().adjusted(-pad, -pad, pad, pad);
        if (shadow_) {
            bounds |= bounds.translated(shadowOffsetX_, shadowOffsetY_);
        }
        const QPointF phase = device - whole;
        const QRectF scaled(bounds.topLeft() * ratio, bounds.size() * ratio);
        const QRect area = scaled.translated(phase).toAlignedRect();
        render_ = QImage(std::max(area.width(), 1), std::max(area.height(), 1),
                         QImage::Format_ARGB32_Premultiplied);
        render_.fill(Qt::transparent);
        {
            QPainter image(&render_);
            image.translate(phase - QPointF(area.topLeft()));
            image.scale(ratio, ratio);
            PaintGlyphs(image, path);
        }
        render_.setDevicePixelRatio(ratio);
        renderOffset_ = area.topLeft();
        renderValid_ = true;
    }
    painter.save();
    painter.resetTransform();
    // Device pixel onto device pixel: no filtering.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QPointF(whole + QPointF(renderOffset_)) / ratio, render_);
    painter.restore();
}

void COutlineText::DrawString(QPainter& painter, const std::wstring& text, const QRectF& rect,
                              const Model::StringFormat& format) {
    if (text.empty()) {
        return;
    }
    const QSizeF box = LineBox(text);
    auto place = [](qreal start, qreal room, qreal size, int alignment) {
        switch (alignment) {
            case Model::kAlignCenter:
                return start + (room - size) / 2;
            case Model::kAlignFar:
                return start + room - size;
            default:
                return start;
        }
    };
    const QPointF origin(place(rect.left(), rect.width(), box.width(), format.alignment),
                         place(rect.top(), rect.height(), box.height(), format.lineAlignment));
    DrawString(painter, text, origin);
}

}  // namespace TextDesigner
