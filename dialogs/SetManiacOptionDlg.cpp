#include "dialogs/SetManiacOptionDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ConfigInfo.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/SetupManager.h"

using dialogs::Text;

namespace {

enum : int {
    kTextStartup = 161,
    kTextIconBar = 162,
    kTextVerticalIconBar = 163,
    kTextNoAt = 168,
    kTextMouseWheel = 171,
    kTextProxyCheck = 621,
    kTextProxyServer = 622,
    kTextProxyHint = 623,
    kTextProxyUser = 624,
    kTextProxyPassword = 625,
    kTextAccount = 631,
    kTextPassword = 632,
    kTextOk = 604,
    kTextCancel = 605,
    kTextTitle = 690,
    kTextAccountGroup = 691,
    kTextPeriodic = 692,
    kTextInterval = 693,
    kTextProxyGroup = 694,
    kTextOtherGroup = 695,
    kTextKindGroup = 900,
    kTextKindService = 901,
    kTextKindCalDav = 902,
    kTextServer = 903,
    kTextServerScheme = 906,
};

// The check list's rows, in this order.
enum OptionRow : int { kRowStartup = 0, kRowIconBar, kRowVerticalIconBar, kRowMouseWheel };

QLineEdit* MakeEdit(QWidget* parent, const char* name, const std::wstring& value, bool secret) {
    auto* edit = new QLineEdit(QString::fromStdWString(value), parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (secret) {
        edit->setEchoMode(QLineEdit::Password);
    }
    edit->setMinimumWidth(240);
    return edit;
}

}  // namespace

ManiacOptions ManiacOptions::FromConfig(const Model::CConfigInfo& config) {
    ManiacOptions v;
    v.accountKind = config.GetAccountKind();
    v.caldavServer = config.GetCalDavServer();
    v.account = config.GetAccountId();
    v.password = config.GetAccountPassword();
    v.periodicSync = config.periodicSync != 0;
    v.syncDuration = config.syncDuration;
    v.proxyEnabled = config.IsProxyEnabled() != 0;
    v.proxy = config.GetProxy();
    v.proxyUser = config.GetProxyUser();
    v.proxyPassword = config.GetProxyPassword();
    v.startup = config.IsStartupRegistered();
    v.iconBar = config.iconBar != 0;
    v.verticalIconBar = config.verticalIconBar != 0;
    v.useMouseWheel = config.GetInt("option", "use_mouse_wheel", 1) != 0;
    return v;
}

CSetManiacOptionDlg::CSetManiacOptionDlg(const ManiacOptions& v, bool localMode, QWidget* parent)
    : QDialog(parent), values(v), localMode(localMode) {
    setObjectName(QStringLiteral("setManiacOptionDlg"));
    setWindowTitle(Text(kTextTitle));
    auto* layout = new QVBoxLayout(this);

    auto* accountGroup = new QGroupBox(Text(kTextAccountGroup), this);
    auto* accountForm = new QFormLayout(accountGroup);
    kindCombo = new QComboBox(accountGroup);
    kindCombo->setObjectName(QStringLiteral("kindCombo"));
    kindCombo->addItem(Text(kTextKindService));  // index = googledata::AccountKind
    kindCombo->addItem(Text(kTextKindCalDav));
    kindCombo->setCurrentIndex(v.accountKind == googledata::kAccountKindCalDav ? 1 : 0);
    serverEdit = MakeEdit(accountGroup, "serverEdit", v.caldavServer, false);
    accountForm->addRow(Text(kTextKindGroup), kindCombo);
    accountForm->addRow(Text(kTextServer), serverEdit);
    accountEdit = MakeEdit(accountGroup, "accountEdit", v.account, false);
    passwordEdit = MakeEdit(accountGroup, "passwordEdit", v.password, true);
    accountForm->addRow(Text(kTextAccount), accountEdit);
    accountForm->addRow(Text(kTextPassword), passwordEdit);
    layout->addWidget(accountGroup);

    auto* syncRow = new QHBoxLayout;
    periodicCheck = new QCheckBox(Text(kTextPeriodic), this);
    periodicCheck->setObjectName(QStringLiteral("periodicCheck"));
    periodicCheck->setChecked(v.periodicSync);
    intervalCombo = new QComboBox(this);
    intervalCombo->setObjectName(QStringLiteral("intervalCombo"));
    intervalCombo->setEditable(true);
    for (int minutes : {10, 15, 30, 60, 120, 180}) {
        intervalCombo->addItem(QString::number(minutes));
    }
    intervalCombo->setValidator(new QIntValidator(0, 100000, intervalCombo));
    intervalCombo->setEditText(QString::number(v.syncDuration));
    auto* intervalLabel = new QLabel(Text(kTextInterval), this);
    intervalLabel->setBuddy(intervalCombo);
    syncRow->addWidget(periodicCheck);
    syncRow->addStretch(1);
    syncRow->addWidget(intervalLabel);
    syncRow->addWidget(intervalCombo);
    layout->addLayout(syncRow);

    auto* proxyGroup = new QGroupBox(Text(kTextProxyGroup), this);
    auto* proxyLayout = new QVBoxLayout(proxyGroup);
    proxyCheck = new QCheckBox(Text(kTextProxyCheck), proxyGroup);
    proxyCheck->setObjectName(QStringLiteral("proxyCheck"));
    proxyCheck->setChecked(v.proxyEnabled);
    proxyLayout->addWidget(proxyCheck);
    proxyFields = new QWidget(proxyGroup);
    auto* proxyForm = new QFormLayout(proxyFields);
    proxyForm->setContentsMargins(20, 0, 0, 0);
    proxyEdit = MakeEdit(proxyFields, "proxyEdit", v.proxy, false);
    proxyUserEdit = MakeEdit(proxyFields, "proxyUserEdit", v.proxyUser, false);
    proxyPasswordEdit = MakeEdit(proxyFields, "proxyPasswordEdit", v.proxyPassword, true);
    proxyForm->addRow(Text(kTextProxyServer), proxyEdit);
    proxyForm->addRow(QString(), new QLabel(Text(kTextProxyHint), proxyFields));
    proxyForm->addRow(Text(kTextProxyUser), proxyUserEdit);
    proxyForm->addRow(Text(kTextProxyPassword), proxyPasswordEdit);
    proxyLayout->addWidget(proxyFields);
    layout->addWidget(proxyGroup);

    auto* otherGroup = new QGroupBox(Text(kTextOtherGroup), this);
    auto* otherLayout = new QVBoxLayout(otherGroup);
    optionList = new QListWidget(otherGroup);
    optionList->setObjectName(QStringLiteral("optionList"));
    const std::pair<int, bool> rows[] = {{kTextStartup, v.startup},
                                         {kTextIconBar, v.iconBar},
                                         {kTextVerticalIconBar, v.verticalIconBar},
                                         {kTextMouseWheel, v.useMouseWheel}};
    for (const auto& [text, on] : rows) {
        auto* item = new QListWidgetItem(Text(text), optionList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    optionList->setCurrentRow(0);
    const int rowHeight = optionList->sizeHintForRow(0);
    optionList->setFixedHeight(rowHeight * 4 + 2 * optionList->frameWidth() + 4);
    otherLayout->addWidget(optionList);
    layout->addWidget(otherGroup);

    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(Text(kTextOk), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(Text(kTextCancel), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(periodicCheck, &QCheckBox::toggled, this, [this] { EnableFields(); });
    connect(proxyCheck, &QCheckBox::toggled, this, [this] { EnableFields(); });
    connect(kindCombo, &QComboBox::currentIndexChanged, this, [this] { EnableFields(); });

    if (localMode) {
        // No account in local calendar mode: nothing to log in with.
        accountGroup->setEnabled(false);
        proxyGroup->setEnabled(false);
    }
    EnableFields();
    (localMode ? static_cast<QWidget*>(periodicCheck) : accountEdit)->setFocus();
}

void CSetManiacOptionDlg::EnableFields() {
    intervalCombo->setEnabled(periodicCheck->isChecked());
    proxyFields->setEnabled(proxyCheck->isChecked());
    serverEdit->setEnabled(kindCombo->currentIndex() == googledata::kAccountKindCalDav);
}

void CSetManiacOptionDlg::accept() {
    const googledata::AccountKind kind = kindCombo->currentIndex() == googledata::kAccountKindCalDav
                                             ? googledata::kAccountKindCalDav
                                             : googledata::kAccountKindService;
    const std::wstring server = serverEdit->text().trimmed().toStdWString();
    const std::wstring account = accountEdit->text().trimmed().toStdWString();
    if (kind == googledata::kAccountKindCalDav && server.rfind(L"http://", 0) != 0 &&
        server.rfind(L"https://", 0) != 0) {
        dialogs::ShowNotice(this, windowTitle(), Text(kTextServerScheme), QMessageBox::Warning);
        serverEdit->setFocus();
        return;
    }
    if (kind == googledata::kAccountKindService && !account.empty() &&
        account.find(L'@') == std::wstring::npos) {
        dialogs::ShowNotice(this, windowTitle(), Text(kTextNoAt), QMessageBox::Warning);
        accountEdit->setFocus();
        return;
    }
    values.accountKind = kind;
    if (kind == googledata::kAccountKindCalDav) {
        values.caldavServer = server;
    }
    values.account = account;
    values.password = passwordEdit->text().toStdWString();
    values.periodicSync = periodicCheck->isChecked();
    bool number = false;
    const int minutes = intervalCombo->currentText().trimmed().toInt(&number);
    values.syncDuration = number && minutes > kMinSyncDuration ? minutes : kMinSyncDuration;
    values.proxyEnabled = proxyCheck->isChecked();
    values.proxy = proxyEdit->text().trimmed().toStdWString();
    values.proxyUser = proxyUserEdit->text().trimmed().toStdWString();
    values.proxyPassword = proxyPasswordEdit->text().toStdWString();
    auto checked = [this](int row) { return optionList->item(row)->checkState() == Qt::Checked; };
    values.startup = checked(kRowStartup);
    values.iconBar = checked(kRowIconBar);
    values.verticalIconBar = checked(kRowVerticalIconBar);
    values.useMouseWheel = checked(kRowMouseWheel);
    QDialog::accept();
}

ManiacApplyResult ApplyManiacOptions(const ManiacOptions& v, Model::CConfigInfo& config,
                                     ISetupManager& manager, const ManiacApplyTarget& target,
                                     const std::function<void()>& redrawAll) {
    const ManiacOptions stored = ManiacOptions::FromConfig(config);
    // A new kind of account or another server is a new account as well.
    const bool accountChanged =
        v.account != stored.account || v.accountKind != stored.accountKind ||
        (v.accountKind == googledata::kAccountKindCalDav && v.caldavServer != stored.caldavServer);
    // The proxy switch counts too: without it, turning the proxy on or off
    // would reach the manager only at the next start.
    const bool networkChanged = accountChanged || v.password != stored.password ||
                                v.proxyEnabled != stored.proxyEnabled || v.proxy != stored.proxy ||
                                v.proxyUser != stored.proxyUser ||
                                v.proxyPassword != stored.proxyPassword;

    config.SetAccountKind(v.accountKind);
    if (v.accountKind == googledata::kAccountKindCalDav) {
        config.SetCalDavServer(v.caldavServer);
    }
    config.SetAccountId(v.account);
    config.SetAccountPassword(v.password);
    config.WriteInt("general", "enable_proxy", v.proxyEnabled ? 1 : 0);
    config.WriteString("general", "proxy", v.proxy);
    config.WriteString("general", "proxy_uid", v.proxyUser);
    config.WriteString("general", "proxy_psw", v.proxyPassword);
    config.periodicSync = v.periodicSync ? 1 : 0;
    config.syncDuration = std::max(v.syncDuration, kMinSyncDuration);
    config.WriteInt("general", "periodic_sync", config.periodicSync);
    config.WriteInt("general", "sync_duration", config.syncDuration);

    config.SetStartup(v.startup);

    config.iconBar = v.iconBar ? 1 : 0;
    config.WriteInt("option", "icon_bar", config.iconBar);
    config.WriteInt("option", "use_mouse_wheel", v.useMouseWheel ? 1 : 0);
    if (v.verticalIconBar != stored.verticalIconBar) {
        config.verticalIconBar = v.verticalIconBar ? 1 : 0;
        config.WriteInt("option", "vertical_icon_bar", config.verticalIconBar);
        platform::PostMessage(target.dispatchWindow, target.commandMessage,
                              target.rebuildIconBarCommand);
    }

    ManiacApplyResult result = ManiacApplyResult::kStored;
    if (networkChanged) {
        manager.ChangeAccount(v.account, v.password);
        manager.SetProxy(v.proxyEnabled, v.proxy, v.proxyUser, v.proxyPassword);
        if (accountChanged) {
            platform::PostMessage(target.dispatchWindow, target.wizardRequest,
                                  target.newAccountKind);
            return ManiacApplyResult::kNewAccount;
        }
        manager.SyncEvents();
        result = ManiacApplyResult::kSynchronised;
    }
    if (redrawAll) {
        redrawAll();
    }
    return result;
}
