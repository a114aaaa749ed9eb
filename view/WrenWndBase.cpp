#include "view/WrenWndBase.h"

#include <QApplication>
#include <QPainter>
#include <exception>

#include "app/MaintenanceLog.h"

CWrenWndBase::CWrenWndBase(Model::CConfigInfo* options, Utility::CMaintenanceLog* log,
                           QWidget* owner)
    : platform::CLayeredWindow(owner), options_(options), log_(log) {
    setGeometry(0, 0, 10, 10);
}

CWrenWndBase::~CWrenWndBase() {
    drawItems_.clear();
}

void CWrenWndBase::SetWindowRect(int left, int top, int right, int bottom) {
    windowRect_ = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void CWrenWndBase::SetContentRect(int x, int y, int width, int height) {
    contentRect_ = QRect(x, y, width, height);
}

Draw::CDrawItem* CWrenWndBase::HitTest(int x, int y) const {
    for (Draw::CDrawItem* item : drawItems_) {
        if (item->clickable && item->visible && item->HitTest(x, y)) {
            return item;
        }
    }
    return nullptr;
}

void CWrenWndBase::Paint() {
    QPainter painter(&BackBuffer());
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    for (Draw::CDrawItem* item : drawItems_) {
        item->Draw(painter, false);
    }
}

void CWrenWndBase::UpdateShape() {
    const QRect& c = contentRect_;
    const QRegion region = platform::RoundRectRegion(c.x(), c.y(), c.x() + c.width() + 1,
                                                     c.y() + c.height() + 1, 16, 16);
    if (region.isEmpty() && log_ != nullptr) {
        log_->Write(Utility::kLogError, "<view> CreateRoundRectRgn failure:0");
    }
    SetShape(region);
}

void CWrenWndBase::UpdateShadow() {
    int32_t shown = 0;
    int32_t x = 0;
    int32_t y = 0;
    GetShadowParam(shown, x, y);
    if (!shown) {
        return;
    }
    shadow_.Create(this);
    if (x <= 20) {
        shadow_.SetPosition(x, y);
    }
    // Recompute when the shape changed since the last time.
    if (size() != shadowShapeSize_ || mask() != shadowShape_) {
        shadowShapeSize_ = size();
        shadowShape_ = mask();
        shadow_.Update();
    }
    shadow_.Show(true);
}

void CWrenWndBase::Redraw() {
    try {
        // The subclass sizes itself first, so that the back buffer is made
        // at the size it is painted at.
        Layout();
        const QRect w = windowRect_;
        content_ = QImage(std::max(contentRect_.width(), 1), std::max(contentRect_.height(), 1),
                          QImage::Format_ARGB32_Premultiplied);
        ResetBackBuffer(w.width(), w.height());
        if (geometry() != w) {
            setGeometry(w);
        }
        Paint();
        UpdateShape();
        UpdateShadow();
        Present();
        update();
    } catch (const std::exception&) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<wrenwnd> exception!!");
        }
    } catch (...) {
        if (log_ != nullptr) {
            log_->Write(Utility::kLogError, "<wrenwnd> exception!!");
        }
    }
}

void CWrenWndBase::OnPresentationFailed() {
    if (log_ == nullptr) {
        return;
    }
    log_->Write(Utility::kLogError, "<base> UpdateLayeredWindow failed:0");
    const long windows = static_cast<long>(QApplication::topLevelWidgets().size());
    const long widgets = static_cast<long>(QApplication::allWidgets().size());
    log_->Write(Utility::kLogError, "<base> handle-usage gdi:" + std::to_string(windows) +
                                        " userobj:" + std::to_string(widgets));
}
