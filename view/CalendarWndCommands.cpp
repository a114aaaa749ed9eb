// CCalendarWnd: the context menu and the commands (navigation, sync, web
// calendar, lock, the dialogs through the host, the window commands that go
// to the dispatch window).
#include <QAction>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QUrl>
#include <exception>

#include "app/ConfigInfo.h"
#include "app/MaintenanceLog.h"
#include "controller/DispatchCommands.h"
#include "eventwnd/EventPopupWnd.h"
#include "view/CalendarWnd.h"
#include "view/CalendarWndFlags.h"
#include "view/CalendarWndHost.h"
#include "view/CalendarWndSource.h"
#include "view/FunctionWnd.h"

namespace {

constexpr int kMenuSuppressPeriod = 5000;

struct MenuItem {
    int id;  // 0: separator; -1: start of a submenu; -2: its end
    const char16_t* text;
    const wchar_t* icon;  // an image of the "image" folder beside the item, or null
};

// The menu "_main_menu_", in order.
constexpr MenuItem kMenu[] = {
    {-1, u" 表示月の変更", nullptr},
    {CCalendarWnd::ID_PREV_MONTH, u"前の月", L"prev.png"},
    {CCalendarWnd::ID_NEXT_MONTH, u"次の月", L"next.png"},
    {0, nullptr, nullptr},
    {CCalendarWnd::ID_PREV_YEAR, u"前の年", nullptr},
    {CCalendarWnd::ID_NEXT_YEAR, u"次の年", nullptr},
    {-2, nullptr, nullptr},
    {0, nullptr, nullptr},
    {-1, u" ウィンドウ", nullptr},
    {CCalendarWnd::ID_NEW_WINDOW, u" 新しいウィンドウを開く", nullptr},
    {CCalendarWnd::ID_LOCK_WINDOW, u" ウィンドウ位置を固定", L"lock.png"},
    {CCalendarWnd::ID_ALIGN_WINDOW, u"ウィンドウを整列する", nullptr},
    {CCalendarWnd::ID_CLOSE_WINDOW, u" ウィンドウを閉じる", nullptr},
    {-2, nullptr, nullptr},
    {CCalendarWnd::ID_SYNC, u"Googleカレンダと同期", L"sync.png"},
    {CCalendarWnd::ID_WEB_CALENDAR, u"Googleカレンダを開く", L"31.png"},
    {CCalendarWnd::ID_EVENT_SUMMARY, u"予定リストを表示する", nullptr},
    {CCalendarWnd::ID_IMPORT_ICALENDAR, u"iCalendar ファイルから予定を取り込む...", nullptr},
    {CCalendarWnd::ID_EXPORT_ICALENDAR, u"予定を iCalendar ファイルに書き出す...", nullptr},
    {0, nullptr, nullptr},
    {CCalendarWnd::ID_OPTION, u" オプション設定", nullptr},
    {CCalendarWnd::ID_STYLE, u" スタイル設定", nullptr},
    {CCalendarWnd::ID_CALENDAR_SETTINGS, u"カレンダ設定", nullptr},
    {CCalendarWnd::ID_HOLIDAY_SETTINGS, u"祝日設定", nullptr},
    {0, nullptr, nullptr},
    {CCalendarWnd::ID_HELP, u" ヘルプ", nullptr},
    {CCalendarWnd::ID_VERSION, u" バージョン情報", nullptr},
    {0, nullptr, nullptr},
    {CCalendarWnd::ID_EXIT, u" 終了", nullptr},
};

QAction* FindAction(QMenu& menu, int id) {
    for (QAction* action : menu.actions()) {
        if (action->menu() != nullptr) {
            if (QAction* found = FindAction(*action->menu(), id)) {
                return found;
            }
        } else if (!action->isSeparator() && action->data().toInt() == id) {
            return action;
        }
    }
    return nullptr;
}

void RemoveAction(QMenu& menu, int id) {
    for (QAction* action : menu.actions()) {
        if (action->menu() != nullptr) {
            RemoveAction(*action->menu(), id);
        } else if (!action->isSeparator() && action->data().toInt() == id) {
            menu.removeAction(action);
            delete action;
            return;
        }
    }
}

}  // namespace

bool CCalendarWnd::IsLocked() const {
    return context_.config != nullptr && context_.config->lock != 0;
}

void CCalendarWnd::PostCommand(uint32_t command, platform::LParam lParam) const {
    platform::PostMessage(context_.dispatchWindow, context_.commandMessage, command, lParam);
}

int CCalendarWnd::WindowCount() const {
    int32_t count = 0;
    if (context_.dispatchWindow != 0) {
        platform::SendMessage(context_.dispatchWindow, context_.commandMessage,
                              Controller::kCmdWindowCount,
                              reinterpret_cast<platform::LParam>(&count));
    }
    return count;
}

std::unique_ptr<QMenu> CCalendarWnd::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QStringLiteral("_main_menu_"));
    const std::string images = ImageFolder();
    QMenu* current = menu.get();
    for (const MenuItem& item : kMenu) {
        if (item.id == -1) {
            current = menu->addMenu(QString::fromUtf16(item.text));
        } else if (item.id == -2) {
            current = menu.get();
        } else if (item.id == 0) {
            current->addSeparator();
        } else {
            QAction* action = current->addAction(QString::fromUtf16(item.text));
            action->setData(item.id);
            if (item.icon != nullptr) {
                const QString file =
                    QString::fromStdString(images) + QString::fromWCharArray(item.icon);
                action->setIcon(QIcon(file));
            }
        }
    }
    // The state of the moment.
    if (QAction* close = FindAction(*menu, ID_CLOSE_WINDOW)) {
        close->setEnabled(WindowCount() > 1);
    }
    if (QAction* lock = FindAction(*menu, ID_LOCK_WINDOW)) {
        lock->setCheckable(true);
        lock->setChecked(IsLocked());
    }
    if (QAction* summary = FindAction(*menu, ID_EVENT_SUMMARY)) {
        summary->setCheckable(true);
        summary->setChecked(context_.config == nullptr ||
                            context_.config->GetInt("option", "use_event_summary_wnd", 1) != 0);
    }
    if (CalendarMode() == 2) {
        RemoveAction(*menu, ID_WEB_CALENDAR);
        RemoveAction(*menu, ID_SYNC);
        RemoveAction(*menu, ID_CALENDAR_SETTINGS);
    }
    RemoveAction(*menu, ID_HOLIDAY_SETTINGS);
    return menu;
}

void CCalendarWnd::ShowContextMenu(const QPoint& screenPos) {
    if (retired_ || CalendarWndFlags::menuOpen) {
        return;
    }
    SetTimer(kTimerMenuSuppress, kMenuSuppressPeriod);
    menuSuppressed_ = true;
    std::unique_ptr<QMenu> menu = BuildContextMenu();
    int chosen = 0;
    {
        ScopedCalendarWndFlag open(CalendarWndFlags::menuOpen);
        RaiseWithChildren();
        if (menuHook != nullptr) {
            menuHook(*menu);
        }
        // Any item of the menu or its submenus.
        const auto take = [&chosen](QAction* action) {
            if (chosen == 0 && action != nullptr) {
                chosen = action->data().toInt();
            }
        };
        QObject::connect(menu.get(), &QMenu::triggered, menu.get(), take);
        for (QMenu* sub : menu->findChildren<QMenu*>()) {
            QObject::connect(sub, &QMenu::triggered, menu.get(), take);
        }
        take(menu->exec(screenPos));
    }
    // The command runs once the menu's loop has returned.
    if (chosen != 0) {
        RunCommand(chosen);
    }
}

void CCalendarWnd::Navigate(int command) {
    const int oldOffset = monthOffset_;
    switch (command) {
        case ID_PREV_MONTH:
            if (log_ != nullptr) {
                log_->Write(Utility::kLogAction, "<view> prev month", year_, month_);
            }
            --monthOffset_;
            break;
        case ID_THIS_MONTH:
            Log(Utility::kLogAction, "<view> this month");
            monthOffset_ = 0;
            break;
        case ID_NEXT_MONTH:
            if (log_ != nullptr) {
                log_->Write(Utility::kLogAction, "<view> next month", year_, month_);
            }
            ++monthOffset_;
            break;
        case ID_PREV_YEAR:
            if (log_ != nullptr) {
                log_->Write(Utility::kLogAction, "<view> prev year", year_);
            }
            monthOffset_ -= 12;
            break;
        case ID_NEXT_YEAR:
            if (log_ != nullptr) {
                log_->Write(Utility::kLogAction, "<view> next year", year_);
            }
            monthOffset_ += 12;
            break;
        default:
            return;
    }
    // The month (and its dates) from today and the new offset.
    SetMonth(true);
    if (monthOffset_ != oldOffset || command == ID_THIS_MONTH) {
        // The cells' dates at once: the caches and a click that follows
        // before the redraw see the new month.
        AssignDates();
        ApplyStyle();
    }
    if (CalendarMode() != 0 && context_.source != nullptr && !context_.source->HasHolidays(year_)) {
        Log(Utility::kLogInfo, "<view> holidays are not available");
        context_.source->RequestHolidays(year_);
    }
    UpdateHolidayCache();
    UpdateEventCache();
}

void CCalendarWnd::Sync() {
    Log(Utility::kLogAction, "<view> sync google");
    if (context_.source != nullptr) {
        context_.source->SyncEvents();
    }
    syncRequested_ = true;
}

void CCalendarWnd::OpenWebCalendar() {
    Log(Utility::kLogInfo, "<view> open schedule");
    if (context_.host == nullptr || context_.config == nullptr) {
        return;
    }
    QString account = QString::fromStdWString(context_.config->GetAccountId());
    account.replace(QLatin1Char('@'), QLatin1String("%40"));
    QString base = QString::fromStdWString(context_.config->GetLoginUrl());
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    context_.host->OpenUrl((base + QStringLiteral("/calendar/?src=") + account).toStdString());
}

void CCalendarWnd::ToggleLock() {
    const int locked = IsLocked() ? 0 : 1;
    if (context_.config != nullptr) {
        context_.config->WriteInt("general", "lock", locked);
        context_.config->lock = locked;
    }
    if (log_ != nullptr) {
        log_->Write(Utility::kLogInfo, "<view> lock window", static_cast<long>(locked));
    }
    if (functionWnd_) {
        functionWnd_->SetLock(locked != 0);
    }
    menuSuppressed_ = false;
}

void CCalendarWnd::RunCommand(int command) {
    if (retired_) {
        return;
    }
    ICalendarWndHost* host = context_.host;
    switch (command) {
        case ID_PREV_MONTH:
        case ID_NEXT_MONTH:
        case ID_PREV_YEAR:
        case ID_NEXT_YEAR:
        case ID_THIS_MONTH:
            Navigate(command);
            break;
        case ID_NEW_WINDOW:
            Log(Utility::kLogInfo, "<view> new window");
            PostCommand(Controller::kCmdNewWindow);
            break;
        case ID_LOCK_WINDOW:
            ToggleLock();
            break;
        case ID_ALIGN_WINDOW:
            Log(Utility::kLogInfo, "<view> align window");
            PostCommand(Controller::kCmdAlignWindow);
            break;
        case ID_CLOSE_WINDOW:
            Log(Utility::kLogInfo, "<view> close window");
            PostCommand(Controller::kCmdCloseWindow, windowNumber_);
            break;
        case ID_SYNC:
            Sync();
            break;
        case ID_WEB_CALENDAR:
            OpenWebCalendar();
            break;
        case ID_EVENT_SUMMARY:
            if (context_.config != nullptr) {
                const int on = context_.config->GetInt("option", "use_event_summary_wnd", 1);
                context_.config->WriteInt("option", "use_event_summary_wnd", on ? 0 : 1);
            }
            break;
        case ID_OPTION:
            HideIconBar();
            Log(Utility::kLogInfo, "<view> set maniac option");
            if (host != nullptr) {
                host->OpenOptionDialog(*this);
            }
            break;
        case ID_STYLE: {
            Log(Utility::kLogInfo, "<view> set style");
            bool weekStartChanged = false;
            if (host != nullptr && host->OpenStyleDialog(*this, weekStartChanged) &&
                weekStartChanged) {
                AssignDates();
                ApplyStyle();
                UpdateHolidayCache();
                UpdateEventCache();
                SetMonth(true);
            }
            break;
        }
        case ID_EDIT_STYLE:
            Log(Utility::kLogInfo, "<view> edit style");
            if (host != nullptr) {
                host->OpenStyleEditor(*this);
            }
            break;
        case ID_CALENDAR_SETTINGS:
            Log(Utility::kLogInfo, "<view> set calendar");
            if (host != nullptr) {
                host->OpenCalendarSettings(*this);
            }
            break;
        case ID_HOLIDAY_SETTINGS:
            Log(Utility::kLogInfo, "<view> set local holiday");
            if (host != nullptr) {
                host->OpenHolidaySettings(*this);
            }
            break;
        case ID_HELP:
            if (host != nullptr) {
                host->OpenHelp();
            }
            break;
        case ID_VERSION:
            Log(Utility::kLogInfo, "<view> open version");
            if (host != nullptr) {
                host->OpenAboutBox(*this);
            }
            break;
        case ID_IMPORT_ICALENDAR:
        case ID_EXPORT_ICALENDAR:
            ExchangeIcalendar(command == ID_IMPORT_ICALENDAR);
            break;
        case ID_EXIT:
            Log(Utility::kLogInfo, "<view> exit");
            PostCommand(Controller::kCmdAppExit);
            break;
        default:
            break;  // ID_NOTHING and unknown identifiers
    }
}
