#include "view/OutlineText.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

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

void COutlineText::DrawString(QPainter& painter, const std::wstring& text, QPointF origin) {
    if (text.empty()) {
        return;
    }
    const QPainterPath& path = GlyphPath(text);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.translate(origin);
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
