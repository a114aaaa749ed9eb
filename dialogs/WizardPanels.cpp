#include "dialogs/WizardPanels.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <list>

#include "app/ConfigInfo.h"
#include "dialogs/DoubleCheckListCtrl.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/SetupManager.h"
#include "model/CalendarStyleInfo.h"
#include "platform/TextConv.h"

using dialogs::Text;

namespace {

// String ids.
enum : int {
    kTextWizardCaption = 600,
    kTextTop = 610,
    kTextStyleTitle = 611,
    kTextMondayFirst = 612,
    kTextUnderline = 613,
    kTextModeTitle = 614,
    kTextGoogleMode = 615,
    kTextLocalMode = 616,
    kTextGoogleModeHint = 617,
    kTextLocalModeHint = 618,
    kTextProxyTitle = 620,
    kTextProxyCheck = 621,
    kTextProxyServer = 622,
    kTextProxyHint = 623,
    kTextProxyUser = 624,
    kTextProxyPassword = 625,
    kTextGoogleTitle = 630,
    kTextAccount = 631,
    kTextPassword = 632,
    kTextKindGroup = 900,
    kTextKindService = 901,
    kTextKindCalDav = 902,
    kTextServer = 903,
    kTextUser = 904,
    kTextNoServer = 905,
    kTextServerScheme = 906,
    kTextNoUser = 907,
    kTextCalDavTitle = 908,
    kTextAccessing = 640,
    kTextCalendarsTitle = 645,
    kTextSyncing = 650,
    kTextDownloads = 651,
    kTextEvents = 652,
    kTextErrorTitle = 660,
    kTextSupport = 661,
    kTextStartOver = 662,
    kTextRetryHint = 663,
    kTextErrorCode = 664,
    kTextEnd = 670,
    kTextManual = 671,
    kTextResetDone = 675,
    kTextNoAt = 168,
    kTextNoAccount = 169,
    kTextNoPassword = 170,
};

constexpr int kEventsPerPage = 500;

QLineEdit* MakeEdit(QWidget* parent, const char* name, const std::wstring& value, bool secret) {
    auto* edit = new QLineEdit(QString::fromStdWString(value), parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (secret) {
        edit->setEchoMode(QLineEdit::Password);
    }
    edit->setMinimumWidth(260);
    return edit;
}

QColor Argb(Model::ArgbColor c) {
    return QColor::fromRgba(c);
}

}  // namespace

// A small month drawn in a style's colours: enough to tell the styles apart.
class CStylePreview : public QWidget {
public:
    explicit CStylePreview(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("stylePreview"));
        setMinimumSize(168, 140);
    }
    void SetStyle(const std::wstring& path) {
        style = Model::CCalendarStyleInfo();
        if (!path.empty()) {
            style.Load(path);
        }
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
        p.setPen(Argb(style.windowFrameColor));
        p.setBrush(Argb(style.windowBackground));
        p.drawRoundedRect(r, 5, 5);
        const double headerH = r.height() * 0.18;
        const QRectF header(r.left() + 4, r.top() + 4, r.width() - 8, headerH);
        if (!style.headerSameAsWindow) {
            p.setPen(Qt::NoPen);
            p.setBrush(Argb(style.headerBackground));
            p.drawRect(header);
        }
        QFont font = p.font();
        font.setPixelSize(static_cast<int>(headerH * 0.6));
        font.setBold(true);
        p.setFont(font);
        // A month number in the header's own colour shows by its outline.
        const Model::TextStyle& month = style.monthNumText;
        const QFontMetricsF metrics(font);
        const QString number = QStringLiteral("4");
        QPainterPath glyphs;
        glyphs.addText(header.center().x() - metrics.horizontalAdvance(number) / 2,
                       header.center().y() + (metrics.ascent() - metrics.descent()) / 2, font,
                       number);
        if (month.outline && month.outlineThickness > 0) {
            p.strokePath(glyphs, QPen(Argb(month.outlineColor), month.outlineThickness,
                                      Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        }
        p.fillPath(glyphs, Argb(month.color));
        const double rowH = (r.height() - headerH - 12) / 6;
        const QRectF week(r.left() + 4, header.bottom() + 2, r.width() - 8, rowH);
        if (!style.weekRowSameAsWindow) {
            p.setPen(Qt::NoPen);
            p.setBrush(Argb(style.weekRowBackground));
            p.drawRect(week);
        }
        font.setPixelSize(static_cast<int>(rowH * 0.6));
        font.setBold(false);
        p.setFont(font);
        const double colW = week.width() / 7;
        static const char* const kDays[] = {"S", "M", "T", "W", "T", "F", "S"};
        p.setPen(Argb(style.weekText.color));
        for (int c = 0; c < 7; ++c) {
            p.drawText(QRectF(week.left() + c * colW, week.top(), colW, rowH), Qt::AlignCenter,
                       QString::fromLatin1(kDays[c]));
        }
        for (int row = 0; row < 5; ++row) {
            for (int c = 0; c < 7; ++c) {
                const int day = row * 7 + c + 1;
                if (day > 30) {
                    continue;
                }
                const Model::DayTextStyle& s = day == 15 ? style.todayDayText
                                               : c == 0  ? style.sundayDayText
                                               : c == 6  ? style.saturdayDayText
                                                         : style.weekdayDayText;
                const QRectF cell(week.left() + c * colW, week.bottom() + row * rowH, colW, rowH);
                if (s.boxShape != Model::kShapeNone && s.boxFill) {
                    p.setPen(Qt::NoPen);
                    p.setBrush(Argb(s.boxFillColor));
                    p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 2, 2);
                }
                p.setPen(Argb(s.color));
                p.drawText(cell, Qt::AlignCenter, QString::number(day));
            }
        }
    }

private:
    Model::CCalendarStyleInfo style;
};

CWizDialogBase::CWizDialogBase(const std::string& imageFolder, const char* banner, QWidget* parent)
    : platform::CWindow(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("banner"));
    picture->setPixmap(QPixmap(QString::fromStdString(imageFolder + "/" + banner)));
    picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(picture);
    body = new QVBoxLayout;
    body->setContentsMargins(16, 8, 16, 8);
    layout->addLayout(body, 1);
}

QLabel* CWizDialogBase::AddMessage(const QString& text, const char* name) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    body->addWidget(label);
    return label;
}

CWizTopPanel::CWizTopPanel(const std::string& imageFolder, QWidget* parent)
    : CWizDialogBase(imageFolder, "wizTopJPN.png", parent) {
    setObjectName(QStringLiteral("wizTopPanel"));
    AddMessage(Text(kTextTop), "message");
    Body()->addStretch(1);
}

CWizStylePanel::CWizStylePanel(Model::CConfigInfo& config, const std::string& styleFolder,
                               const std::string& imageFolder, QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent),
      config(config),
      styleFolder(styleFolder) {
    setObjectName(QStringLiteral("wizStylePanel"));
    AddMessage(Text(kTextStyleTitle), "message");
    auto* row = new QHBoxLayout;
    styleList = new QListWidget(this);
    styleList->setObjectName(QStringLiteral("styleList"));
    preview = new CStylePreview(this);
    row->addWidget(styleList, 1);
    row->addWidget(preview, 1);
    Body()->addLayout(row, 1);
    mondayFirst = new QCheckBox(Text(kTextMondayFirst), this);
    mondayFirst->setObjectName(QStringLiteral("mondayFirstCheck"));
    mondayFirst->setChecked(config.mondayFirst != 0);
    underline = new QCheckBox(Text(kTextUnderline), this);
    underline->setObjectName(QStringLiteral("underlineCheck"));
    underline->setChecked(config.bookedUnderline != 0);
    Body()->addWidget(mondayFirst);
    Body()->addWidget(underline);

    const QString current = QString::fromStdWString(config.GetStyleName());
    const QStringList names = QDir(QString::fromStdString(styleFolder))
                                  .entryList({QStringLiteral("*.style")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(QFileInfo(name).completeBaseName(), styleList);
        item->setData(Qt::UserRole, name);
        if (name == current) {
            styleList->setCurrentItem(item);
        }
    }
    if (!styleList->currentItem() && styleList->count() > 0) {
        styleList->setCurrentRow(0);
    }
    connect(styleList, &QListWidget::currentRowChanged, this, [this] { ShowPreview(); });
    ShowPreview();
}

void CWizStylePanel::ShowPreview() {
    const QListWidgetItem* item = styleList->currentItem();
    preview->SetStyle(item ? platform::Utf8ToWide(styleFolder) + L"/" +
                                 item->data(Qt::UserRole).toString().toStdWString()
                           : std::wstring());
}

bool CWizStylePanel::ValidateAndStore() {
    config.mondayFirst = mondayFirst->isChecked() ? 1 : 0;
    config.bookedUnderline = underline->isChecked() ? 1 : 0;
    config.WriteInt("option", "monday_frist", config.mondayFirst);
    config.WriteInt("option", "booked_underline", config.bookedUnderline);
    if (const QListWidgetItem* item = styleList->currentItem()) {
        config.WriteString("general", "style", item->data(Qt::UserRole).toString().toStdWString());
    }
    return true;
}

CWizCalendarModePanel::CWizCalendarModePanel(Model::CConfigInfo& config,
                                             const std::string& imageFolder, QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent), config(config) {
    setObjectName(QStringLiteral("wizCalendarModePanel"));
    AddMessage(Text(kTextModeTitle), "message");
    googleMode = new QRadioButton(Text(kTextGoogleMode), this);
    googleMode->setObjectName(QStringLiteral("googleModeRadio"));
    localMode = new QRadioButton(Text(kTextLocalMode), this);
    localMode->setObjectName(QStringLiteral("localModeRadio"));
    auto* group = new QButtonGroup(this);
    group->addButton(googleMode);
    group->addButton(localMode);
    Body()->addWidget(googleMode);
    AddMessage(Text(kTextGoogleModeHint), "googleModeHint")->setIndent(24);
    Body()->addWidget(localMode);
    AddMessage(Text(kTextLocalModeHint), "localModeHint")->setIndent(24);
    Body()->addStretch(1);
    (config.GetCalendarMode() == googledata::kCalendarModeLocal ? localMode : googleMode)
        ->setChecked(true);
}

bool CWizCalendarModePanel::ValidateAndStore() {
    config.WriteInt("general", "calendar_mode",
                    googleMode->isChecked() ? googledata::kCalendarModeAccount
                                            : googledata::kCalendarModeLocal);
    return true;
}

CWizProxyPanel::CWizProxyPanel(Model::CConfigInfo& config, const std::string& imageFolder,
                               QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent), config(config) {
    setObjectName(QStringLiteral("wizProxyPanel"));
    AddMessage(Text(kTextProxyTitle), "message");
    proxyCheck = new QCheckBox(Text(kTextProxyCheck), this);
    proxyCheck->setObjectName(QStringLiteral("proxyCheck"));
    proxyCheck->setChecked(config.IsProxyEnabled() != 0);
    Body()->addWidget(proxyCheck);
    auto* form = new QFormLayout;
    form->setContentsMargins(24, 0, 0, 0);
    proxyEdit = MakeEdit(this, "proxyEdit", config.GetProxy(), false);
    userEdit = MakeEdit(this, "proxyUserEdit", config.GetProxyUser(), false);
    passwordEdit = MakeEdit(this, "proxyPasswordEdit", config.GetProxyPassword(), true);
    auto* hint = new QLabel(Text(kTextProxyHint), this);
    hint->setObjectName(QStringLiteral("proxyHint"));
    form->addRow(Text(kTextProxyServer), proxyEdit);
    form->addRow(QString(), hint);
    form->addRow(Text(kTextProxyUser), userEdit);
    form->addRow(Text(kTextProxyPassword), passwordEdit);
    Body()->addLayout(form);
    Body()->addStretch(1);
    connect(proxyCheck, &QCheckBox::toggled, this, [this] { EnableFields(); });
    EnableFields();
}

void CWizProxyPanel::EnableFields() {
    for (QLineEdit* edit : {proxyEdit, userEdit, passwordEdit}) {
        edit->setEnabled(proxyCheck->isChecked());
    }
}

bool CWizProxyPanel::ValidateAndStore() {
    config.WriteInt("general", "enable_proxy", proxyCheck->isChecked() ? 1 : 0);
    config.WriteString("general", "proxy", proxyEdit->text().trimmed().toStdWString());
    config.WriteString("general", "proxy_uid", userEdit->text().trimmed().toStdWString());
    config.WriteString("general", "proxy_psw", passwordEdit->text().toStdWString());
    return true;
}

CWizGooglePanel::CWizGooglePanel(Model::CConfigInfo& config, const std::string& imageFolder,
                                 QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent), config(config) {
    setObjectName(QStringLiteral("wizGooglePanel"));
    title = AddMessage(Text(kTextGoogleTitle), "message");
    // The kind of account: the calendar service or a CalDAV server.
    auto* kindLabel = new QLabel(Text(kTextKindGroup), this);
    serviceKind = new QRadioButton(Text(kTextKindService), this);
    serviceKind->setObjectName(QStringLiteral("serviceKindRadio"));
    caldavKind = new QRadioButton(Text(kTextKindCalDav), this);
    caldavKind->setObjectName(QStringLiteral("caldavKindRadio"));
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(serviceKind);
    kinds->addButton(caldavKind);
    const bool caldav = config.GetAccountKind() == googledata::kAccountKindCalDav;
    (caldav ? caldavKind : serviceKind)->setChecked(true);
    Body()->addWidget(kindLabel);
    Body()->addWidget(serviceKind);
    Body()->addWidget(caldavKind);

    auto* form = new QFormLayout;
    serverEdit = MakeEdit(this, "serverEdit", config.GetCalDavServer(), false);
    serverEdit->setPlaceholderText(QStringLiteral("https://caldav.example.com/"));
    accountEdit = MakeEdit(this, "accountEdit", config.GetAccountId(), false);
    accountEdit->setPlaceholderText(QStringLiteral("taro.yamada@gmail.com"));
    passwordEdit = MakeEdit(this, "passwordEdit", config.GetAccountPassword(), true);
    serverLabel = new QLabel(Text(kTextServer), this);
    form->addRow(serverLabel, serverEdit);
    accountLabel = new QLabel(Text(kTextAccount), this);
    form->addRow(accountLabel, accountEdit);
    form->addRow(Text(kTextPassword), passwordEdit);
    Body()->addLayout(form);
    Body()->addStretch(1);
    connect(caldavKind, &QRadioButton::toggled, this, [this] { EnableFields(); });
    EnableFields();
}

void CWizGooglePanel::EnableFields() {
    const bool caldav = caldavKind->isChecked();
    title->setText(Text(caldav ? kTextCalDavTitle : kTextGoogleTitle));
    serverLabel->setVisible(caldav);
    serverEdit->setVisible(caldav);
    accountLabel->setText(Text(caldav ? kTextUser : kTextAccount));
    accountEdit->setPlaceholderText(caldav ? QString() : QStringLiteral("taro.yamada@gmail.com"));
}

bool CWizGooglePanel::ValidateAndStore() {
    const bool caldav = caldavKind->isChecked();
    const std::wstring server = serverEdit->text().trimmed().toStdWString();
    const std::wstring account = accountEdit->text().trimmed().toStdWString();
    const std::wstring password = passwordEdit->text().toStdWString();
    int problem = 0;
    QLineEdit* focus = accountEdit;
    if (caldav && server.empty()) {
        problem = kTextNoServer;
        focus = serverEdit;
    } else if (caldav && server.rfind(L"http://", 0) != 0 && server.rfind(L"https://", 0) != 0) {
        problem = kTextServerScheme;
        focus = serverEdit;
    } else if (account.empty()) {
        problem = caldav ? kTextNoUser : kTextNoAccount;
    } else if (!caldav && account.find(L'@') == std::wstring::npos) {
        problem = kTextNoAt;
    } else if (password.empty()) {
        problem = kTextNoPassword;
        focus = passwordEdit;
    }
    if (problem != 0 && Quiet()) {
        return false;
    }
    if (problem != 0) {
        dialogs::ShowNotice(this, Text(kTextWizardCaption), Text(problem), QMessageBox::Warning);
        focus->setFocus();
        return false;
    }
    config.SetAccountKind(caldav ? googledata::kAccountKindCalDav
                                 : googledata::kAccountKindService);
    if (caldav) {
        config.SetCalDavServer(server);
    }
    config.SetAccountId(account);
    config.SetAccountPassword(password);
    return true;
}

CWizAccesingPanel::CWizAccesingPanel(const std::string& imageFolder, QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent) {
    setObjectName(QStringLiteral("wizAccesingPanel"));
    AddMessage(Text(kTextAccessing), "message");
    auto* busy = new QProgressBar(this);
    busy->setObjectName(QStringLiteral("busyProgress"));
    busy->setRange(0, 0);
    Body()->addWidget(busy);
    Body()->addStretch(1);
}

CWizCalendarsPanel::CWizCalendarsPanel(ISetupManager& manager, const std::string& imageFolder,
                                       QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent), manager(manager) {
    setObjectName(QStringLiteral("wizCalendarsPanel"));
    AddMessage(Text(kTextCalendarsTitle), "message");
    list = new CDoubleCheckListCtrl(imageFolder, this);
    list->setObjectName(QStringLiteral("calendarList"));
    Body()->addWidget(list, 1);
    Refresh();
}

void CWizCalendarsPanel::Refresh() {
    std::list<Model::Calendar> calendars;
    manager.GetCalendars(calendars);
    list->SetCalendars(calendars);
}

int64_t CWizCalendarsPanel::OnMessage(uint32_t message, platform::WParam wParam,
                                      platform::LParam lParam) {
    if (message == kWizardPanelRefresh) {
        Refresh();
        return 0;
    }
    return CWizDialogBase::OnMessage(message, wParam, lParam);
}

bool CWizCalendarsPanel::ValidateAndStore() {
    for (int row = 0; row < list->RowCount(); ++row) {
        manager.UpdateCalendar(list->RowURI(row), list->RowShow(row), list->RowWrite(row));
    }
    return true;
}

CWizSyncingPanel::CWizSyncingPanel(int totalDownloads, const std::string& imageFolder,
                                   QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent), total(totalDownloads) {
    setObjectName(QStringLiteral("wizSyncingPanel"));
    AddMessage(Text(kTextSyncing), "message");
    downloadsText = AddMessage(Text(kTextDownloads).arg(0).arg(total), "downloadsText");
    downloads = new QProgressBar(this);
    downloads->setObjectName(QStringLiteral("downloadProgress"));
    downloads->setRange(0, std::max(total, 1));
    downloads->setValue(0);
    Body()->addWidget(downloads);
    pagesText = AddMessage(QString(), "eventsText");
    pages = new QProgressBar(this);
    pages->setObjectName(QStringLiteral("pageProgress"));
    pages->setRange(0, 0);  // busy until the first page tells its size
    Body()->addWidget(pages);
    Body()->addStretch(1);
}

void CWizSyncingPanel::SetTotal(int totalDownloads) {
    total = totalDownloads;
    downloads->setRange(0, std::max(total, 1));
    downloadsText->setText(Text(kTextDownloads).arg(downloads->value()).arg(total));
}

int64_t CWizSyncingPanel::OnMessage(uint32_t message, platform::WParam wParam,
                                    platform::LParam lParam) {
    if (message == kWizardPanelProgress) {
        const int done = static_cast<int>(wParam);
        downloads->setValue(std::min(done, downloads->maximum()));
        downloadsText->setText(Text(kTextDownloads).arg(done).arg(total));
        // The calendar in hand is complete; the next one starts busy.
        pages->setRange(0, 0);
        pagesText->clear();
        return 0;
    }
    if (message == kWizardPanelPageProgress) {
        const int inFeed = static_cast<int>((lParam >> 16) & 0xffff);
        const int first = static_cast<int>(lParam & 0xffff);
        // The page from `first` has arrived and is being stored.
        const int received = std::min(inFeed, std::max(0, first - 1) + kEventsPerPage);
        pages->setRange(0, std::max(inFeed, 1));
        pages->setValue(received);
        pagesText->setText(Text(kTextEvents).arg(received).arg(inFeed));
        return 0;
    }
    return CWizDialogBase::OnMessage(message, wParam, lParam);
}

CWizErrorPanel::CWizErrorPanel(int returnState, const std::wstring& description,
                               const std::wstring& text, const std::string& imageFolder,
                               QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent), returnState(returnState) {
    setObjectName(QStringLiteral("wizErrorPanel"));
    AddMessage(Text(kTextErrorTitle), "message");
    AddMessage(QString::fromStdWString(description), "description");
    // The raw text begins "code:<HTTP status>" (the manager's failure text).
    QString detail = QString::fromStdWString(text).trimmed();
    QString code;
    if (detail.startsWith(QStringLiteral("code:"))) {
        const qsizetype end = detail.indexOf(QLatin1Char('\n'));
        code = detail.mid(5, end < 0 ? -1 : end - 5).trimmed();
        detail = end < 0 ? QString() : detail.mid(end + 1).trimmed();
    }
    if (!code.isEmpty()) {
        AddMessage(Text(kTextErrorCode).arg(code), "errorCode");
    }
    if (!detail.isEmpty()) {
        QLabel* label = AddMessage(detail.left(400), "errorText");
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setTextFormat(Qt::PlainText);
    }
    AddMessage(Text(kTextRetryHint), "retryHint");
    auto* support = new QPushButton(Text(kTextSupport), this);
    support->setObjectName(QStringLiteral("supportButton"));
    connect(support, &QPushButton::clicked, this, &CWizErrorPanel::SupportRequested);
    startOver = new QCheckBox(Text(kTextStartOver), this);
    startOver->setObjectName(QStringLiteral("startOverCheck"));
    auto* row = new QHBoxLayout;
    row->addWidget(startOver);
    row->addStretch(1);
    row->addWidget(support);
    Body()->addStretch(1);
    Body()->addLayout(row);
}

bool CWizErrorPanel::StartOver() const {
    return startOver->isChecked();
}

CWizEndPanel::CWizEndPanel(const std::string& imageFolder, QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent) {
    setObjectName(QStringLiteral("wizEndPanel"));
    AddMessage(Text(kTextEnd), "message");
    auto* manual = new QPushButton(Text(kTextManual), this);
    manual->setObjectName(QStringLiteral("manualButton"));
    connect(manual, &QPushButton::clicked, this, &CWizEndPanel::ManualRequested);
    auto* row = new QHBoxLayout;
    row->addWidget(manual);
    row->addStretch(1);
    Body()->addLayout(row);
    Body()->addStretch(1);
}

CWizResetDonePanel::CWizResetDonePanel(const std::string& imageFolder, QWidget* parent)
    : CWizDialogBase(imageFolder, "wizBanner.png", parent) {
    setObjectName(QStringLiteral("wizResetDonePanel"));
    AddMessage(Text(kTextResetDone), "message");
    Body()->addStretch(1);
}
