// CNoticeWnd: the sync notice, a small picture ("syncWithGoogle.png") with a
// one-pixel frame that shows at the bottom-right corner of a calendar window
// while a synchronisation the window asked for runs, and fades out (alpha
// falling by 24 every 20 ms) when the manager's queue has drained.
//
// Owned by its calendar window; user-interface thread only.
#pragma once

#include <QRect>
#include <string>

#include "platform/qt/LayeredWindow.h"

class CNoticeWnd : public platform::CLayeredWindow {
    Q_OBJECT
public:
    static constexpr uint32_t kTimerFade = 1;  // 20 ms while fading
    static constexpr int kFadeStep = 24;

    // `imageFile` is the path of the picture; without it the notice never
    // shows.
    CNoticeWnd(QWidget* owner, const std::string& imageFile);
    ~CNoticeWnd() override;

    // The picture loaded.
    bool Exists() const { return !picture_.isNull(); }
    bool IsShowing() const { return showing_; }
    int CurrentAlpha() const { return alpha_; }

    // Shows the notice opaque at the bottom-right corner of the calendar
    // window's screen rectangle (nothing when it shows already).
    void ShowBeside(const QRect& calendarRect);
    // Starts fading out.
    void StartFade();
    // One fade step; true when the notice is now hidden.
    bool FadeStep();

protected:
    void OnTimer(uint32_t id) override;

private:
    QImage picture_;
    bool showing_ = false;
    int alpha_ = 255;
};
