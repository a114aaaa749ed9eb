#include "eventwnd/EventRegistWnd.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <stdexcept>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "app/StringTable.h"
#include "eventwnd/EventMessageBox.h"
#include "eventwnd/EventPopupLayout.h"
#include "model/Calendar.h"
#include "model/EventInput.h"
#include "platform/Folders.h"
#include "platform/TextConv.h"
#include "platform/qt/DesktopWindow.h"
#include "view/CalendarWndFlags.h"
#include "view/CalendarWndSource.h"
#include "view/OutlineText.h"

namespace {

constexpr Model::ArgbColor kBackground = 0xFFF2F2DE;
constexpr Model::ArgbColor kHeaderBand = 0xFFE3E3C4;
constexpr Model::ArgbColor kDivider = 0xFFC2C29E;
constexpr Model::ArgbColor kOutline = 0xFFA8A8A8;
constexpr int kHeaderHeight = 30;
constexpr int kCornerRadius = 8;

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

Model::TextStyle HeaderText(int size) {
    Model::TextStyle style;
    style.fontFamily = L"Arial";
    style.fontSize = size;
    style.fontStyle = Model::kFontBold;
    style.color = 0xFF505040;
    return style;
}

// The details button's picture: its label on a small rounded plate.
QImage DetailsImage(bool hover) {
    QImage image(48, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QColor(hover ? 0x66 : 0x98, hover ? 0x9B : 0x98, hover ? 0xCC : 0x80));
    p.setBrush(hover ? QColor(0xB0, 0xE0, 0xEE) : QColor(0xFA, 0xFA, 0xEE));
    p.drawRoundedRect(QRectF(0.5, 0.5, 47, 19), 4, 4);
    QFont font = PopupLayout::RowFont();
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawText(QRect(0, 0, 48, 20), Qt::AlignCenter, Text(722));
    return image;
}

}  // namespace

CEventRegistWnd::CEventRegistWnd(QWidget* owner, platform::WindowHandle ownerHandle,
                                 uint32_t ownerMessage, ICalendarWndSource* source,
                                 Model::CConfigInfo* options, Utility::CMaintenanceLog* log)
    : platform::CWindow(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ownerHandle_(ownerHandle),
      ownerMessage_(ownerMessage),
      source_(source),
      options_(options),
      log_(log) {
    setObjectName(QStringLiteral("EventRegistWnd"));
    platform::MakeDesktopWidget(*this);  // no taskbar or pager entry, like the calendar windows
    setWindowTitle(Text(702));
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    resize(kWidth, kBodyHeight + kPointerHeight);

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("titleEdit"));
    edit_->setPlaceholderText(Text(724));
    edit_->installEventFilter(this);
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("calendarCombo"));
    combo_->installEventFilter(this);

    buttons_[kCommandClose - 1].wParam = kCommandClose;
    buttons_[kCommandRegist - 1].wParam = kCommandRegist;
    buttons_[kCommandDetails - 1].wParam = kCommandDetails;
    buttons_[kCommandDetails - 1].normalImage = DetailsImage(false);
    buttons_[kCommandDetails - 1].hoverImage = DetailsImage(true);
    dayItem_.SetStyle(HeaderText(18));
    weekdayItem_.SetStyle(HeaderText(13));
}

CEventRegistWnd::~CEventRegistWnd() {
    Close();
}

void CEventRegistWnd::LoadImages() {
    if (imagesLoaded_) {
        return;
    }
    imagesLoaded_ = true;
    const std::string folder =
        imageFolder_.empty() ? platform::GetResourceFolder() + "/image/" : imageFolder_;
    auto load = [&](int command, const char* normal, const char* hover) {
        if (!buttons_[command - 1].LoadImages(platform::Utf8ToWide(folder + normal),
                                              platform::Utf8ToWide(folder + hover))) {
            Log(Utility::kLogWarn, std::string("<regwnd> image not loaded: ") + normal);
        }
    };
    load(kCommandClose, "closeNonActive.png", "closeActive.png");
    load(kCommandRegist, "registNonActive.png", "registActive.png");
}

void CEventRegistWnd::OpenFor(const platform::CTime& date, const QPoint& target) {
    LoadImages();
    date_ = date;
    detailRequest_ = NewEventRequest();
    Place(target);

    edit_->clear();
    FillCalendars();
    const bool local =
        options_ != nullptr && options_->GetCalendarMode() == googledata::kCalendarModeLocal;
    combo_->setVisible(!local);
    combo_->setEnabled(!local);

    const int day = date_.GetDay();
    dayItem_.SetText(std::to_wstring(day));
    weekdayItem_.SetText(PopupLayout::WeekdayName(date_.GetDayOfWeek()));
    SetHovered(0);

    open_ = true;
    CalendarWndFlags::registWndOpen = true;
    show();
    raise();
    activateWindow();
    edit_->setFocus();
    update();
}

void CEventRegistWnd::FillCalendars() {
    combo_->clear();
    std::list<Model::Calendar> calendars;
    if (source_ != nullptr) {
        source_->GetCalendars(calendars);
    }
    const std::wstring account = options_ != nullptr ? options_->GetAccountId() : std::wstring();
    int accountEntry = -1;
    for (const Model::Calendar& c : calendars) {
        if (!c.writeEvents || c.isHoliday || c.accesslevel < googledata::ACCESS_EDITOR ||
            c.accesslevel > googledata::ACCESS_ROOT) {
            continue;
        }
        combo_->addItem(QString::fromStdWString(c.title), QString::fromStdWString(c.calendarURI));
        if (accountEntry < 0 && c.title == account) {
            accountEntry = combo_->count() - 1;
        }
    }
    combo_->setCurrentIndex(accountEntry >= 0 ? accountEntry : (combo_->count() > 0 ? 0 : -1));
}

void CEventRegistWnd::Place(const QPoint& target) {
    const int height = kBodyHeight + kPointerHeight;
    QScreen* screen = QGuiApplication::screenAt(target);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    // Above the day when there is room, else below it.
    pointsDown_ = target.y() - height >= area.top();
    const int top = pointsDown_ ? target.y() - height : target.y();
    int left = target.x() - kWidth / 2;
    left = std::max(area.left(), std::min(left, area.right() + 1 - kWidth));
    bodyTop_ = pointsDown_ ? 0 : kPointerHeight;
    tip_ = QPoint(std::clamp(target.x() - left, kCornerRadius + 8, kWidth - kCornerRadius - 8),
                  pointsDown_ ? height - 1 : 0);
    setGeometry(left, top, kWidth, height);

    // Controls and items in window coordinates.
    const int b = bodyTop_;
    dayItem_.SetRect(8, b + 3, 40, 26);
    weekdayItem_.SetRect(date_.GetDay() < 10 ? 24 : 34, b + 8, 80, 20);
    buttons_[kCommandClose - 1].SetRect(kWidth - 24, b + 7, 16, 16);
    edit_->setGeometry(10, b + kHeaderHeight + 8, kWidth - 20, 24);
    combo_->setGeometry(10, b + kHeaderHeight + 38, 140, 24);
    buttons_[kCommandRegist - 1].SetRect(kWidth - 10 - 48, b + kHeaderHeight + 40, 48, 20);
    buttons_[kCommandDetails - 1].SetRect(kWidth - 10 - 48 - 6 - 48, b + kHeaderHeight + 40, 48,
                                          20);
}

void CEventRegistWnd::Close() {
    if (!open_) {
        return;
    }
    open_ = false;
    CalendarWndFlags::registWndOpen = false;
    SetHovered(0);
    hide();
}

void CEventRegistWnd::closeEvent(QCloseEvent* event) {
    Close();
    event->ignore();  // reused: hidden, not destroyed
}

NewEventRequest CEventRegistWnd::TakeDetailRequest() {
    NewEventRequest request = detailRequest_;
    detailRequest_ = NewEventRequest();
    return request;
}

bool CEventRegistWnd::ReadLine(NewEventRequest& request) {
    const Model::ParsedInput parsed = Model::ParseInput(edit_->text().toStdWString());
    if (parsed.error) {
        modalUp_ = true;
        eventwnd::ShowWarning(this, 109);
        modalUp_ = false;
        return false;
    }
    const platform::CTime midnight = platform::LocalMidnight(date_);
    request.allDay = !parsed.hasTime;
    request.title = parsed.title;
    request.calendarURI = combo_->currentIndex() >= 0
                              ? combo_->currentData().toString().toStdWString()
                              : std::wstring();
    if (request.allDay) {
        request.start = midnight;
        request.end = midnight + 86400;
        return true;
    }
    try {
        const int y = midnight.GetYear();
        const int m = midnight.GetMonth();
        const int d = midnight.GetDay();
        request.start = platform::CTime(y, m, d, parsed.startHour, parsed.startMinute, 0);
        request.end = platform::CTime(y, m, d, parsed.endHour, parsed.endMinute, 0);
    } catch (const std::exception&) {
        modalUp_ = true;
        eventwnd::ShowWarning(this, 109);
        modalUp_ = false;
        return false;
    }
    return true;
}

bool CEventRegistWnd::Regist() {
    if (!open_) {
        return false;
    }
    NewEventRequest request;
    if (!ReadLine(request)) {
        return false;
    }
    // Nothing to register: an empty line, or a time without a title.
    int refusal = 0;
    if (request.title.empty()) {
        refusal = 152;
    } else if (request.calendarURI.empty()) {
        refusal = 167;
    }
    if (refusal != 0) {
        modalUp_ = true;
        eventwnd::ShowWarning(this, refusal);
        modalUp_ = false;
        edit_->setFocus();
        return false;
    }
    Model::Event event;
    event.calendarURI = request.calendarURI;
    event.startTime = request.start;
    event.endTime = request.end;
    event.isAllDay = request.allDay;
    event.title = request.title;
    const std::wstring account = options_ != nullptr ? options_->GetAccountId() : std::wstring();
    event.author_name = account;
    event.author_email = account;
    event.reminders = {{L"all", 0}};  // the calendar's default reminders
    Log(Utility::kLogInfo, "<regwnd> Regist");
    if (source_ != nullptr) {
        source_->AddEvent(event);
    }
    Close();
    return true;
}

bool CEventRegistWnd::RequestDetails() {
    if (!open_) {
        return false;
    }
    NewEventRequest request;
    if (!ReadLine(request)) {
        return false;
    }
    detailRequest_ = request;
    platform::PostMessage(ownerHandle_, ownerMessage_, 0, 0);
    return true;
}

void CEventRegistWnd::RunCommand(int command) {
    switch (command) {
        case kCommandClose:
            Close();
            break;
        case kCommandRegist:
            Regist();
            break;
        case kCommandDetails:
            RequestDetails();
            break;
        default:
            break;
    }
}

int CEventRegistWnd::ButtonAt(const QPoint& point) const {
    for (const Draw::CDrawIconButtonItem& button : buttons_) {
        if (button.visible && button.HitTest(point.x(), point.y())) {
            return static_cast<int>(button.wParam);
        }
    }
    return 0;
}

void CEventRegistWnd::SetHovered(int command) {
    if (command == hovered_) {
        return;
    }
    for (Draw::CDrawIconButtonItem& button : buttons_) {
        button.hover = static_cast<int>(button.wParam) == command ? 1 : 0;
    }
    hovered_ = command;
    setCursor(command != 0 ? Qt::PointingHandCursor : Qt::ArrowCursor);
    update();
}

void CEventRegistWnd::mouseMoveEvent(QMouseEvent* event) {
    SetHovered(ButtonAt(event->position().toPoint()));
}

void CEventRegistWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint point = event->position().toPoint();
    if (!rect().contains(point)) {
        Close();
        return;
    }
    const int command = ButtonAt(point);
    if (command != 0 && command == hovered_) {
        RunCommand(command);
    }
}

void CEventRegistWnd::changeEvent(QEvent* event) {
    platform::CWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || isActiveWindow() || !open_) {
        return;
    }
    // A click elsewhere closes the balloon; its own message boxes and the
    // calendar list's drop-down do not.
    QTimer::singleShot(0, this, [this] {
        if (open_ && !modalUp_ && !isActiveWindow() &&
            QApplication::activePopupWidget() == nullptr &&
            QApplication::activeModalWidget() == nullptr) {
            Close();
        }
    });
}

bool CEventRegistWnd::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == edit_ || watched == combo_) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (watched == combo_ && combo_->view() != nullptr && combo_->view()->isVisible()) {
                    return false;  // choosing in the open list
                }
                Regist();
                return true;
            case Qt::Key_Escape:
                Close();
                return true;
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                if (watched == edit_ && combo_->isVisible()) {
                    combo_->setFocus(Qt::TabFocusReason);
                } else {
                    edit_->setFocus(Qt::TabFocusReason);
                }
                return true;
            default:
                break;
        }
    }
    return platform::CWindow::eventFilter(watched, event);
}

void CEventRegistWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // The body with its pointer towards the day.
    const QRectF body(0.5, bodyTop_ + 0.5, kWidth - 1, kBodyHeight - 1);
    QPainterPath path;
    path.addRoundedRect(body, kCornerRadius, kCornerRadius);
    QPainterPath pointer;
    const qreal tipX = tip_.x() + 0.5;
    if (pointsDown_) {
        const qreal base = body.bottom() - 1;
        pointer.moveTo(tipX - 9, base);
        pointer.lineTo(tipX, tip_.y() + 0.5);
        pointer.lineTo(tipX + 9, base);
    } else {
        const qreal base = body.top() + 1;
        pointer.moveTo(tipX - 9, base);
        pointer.lineTo(tipX, tip_.y() + 0.5);
        pointer.lineTo(tipX + 9, base);
    }
    pointer.closeSubpath();
    path = path.united(pointer);
    p.fillPath(path, TextDesigner::ArgbToColor(kBackground));
    p.save();
    p.setClipPath(path);
    p.fillRect(QRectF(0, bodyTop_, kWidth, kHeaderHeight), TextDesigner::ArgbToColor(kHeaderBand));
    p.setPen(QPen(TextDesigner::ArgbToColor(kDivider), 1));
    p.drawLine(QPointF(6, bodyTop_ + kHeaderHeight + 0.5),
               QPointF(kWidth - 6, bodyTop_ + kHeaderHeight + 0.5));
    p.restore();
    p.setPen(QPen(TextDesigner::ArgbToColor(kOutline), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);

    dayItem_.Draw(p, false);
    weekdayItem_.Draw(p, false);
    for (Draw::CDrawIconButtonItem& button : buttons_) {
        button.Draw(p, false);
    }
}

void CEventRegistWnd::Log(const char* level, const std::string& text) const {
    if (log_ != nullptr) {
        log_->Write(level, text);
    }
}
