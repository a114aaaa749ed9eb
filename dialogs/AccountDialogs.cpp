#include "dialogs/AccountDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ConfigInfo.h"
#include "app/StringTable.h"

namespace {

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

QString Q(const std::wstring& text) {
    return QString::fromStdWString(text);
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const std::wstring& value, bool secret) {
    auto* edit = new QLineEdit(Q(value), parent);
    edit->setObjectName(QString::fromLatin1(name));
    if (secret) {
        edit->setEchoMode(QLineEdit::Password);
    }
    edit->setMinimumWidth(240);
    return edit;
}

QDialogButtonBox* MakeButtons(QDialog* dialog, bool withCancel) {
    auto* buttons = new QDialogButtonBox(
        withCancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok,
        dialog);
    buttons->setObjectName(QStringLiteral("buttons"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QLabel* MakeMessage(QWidget* parent, const QString& text, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

CAuthErrorDlg::CAuthErrorDlg(const std::wstring& account, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("authErrorDlg"));
    setWindowTitle(Text(412));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeMessage(this, Text(400), "message"));
    auto* form = new QFormLayout;
    accountEdit = MakeEdit(this, "accountEdit", account, false);
    passwordEdit = MakeEdit(this, "passwordEdit", L"", true);
    form->addRow(Text(401), accountEdit);
    form->addRow(Text(402), passwordEdit);
    layout->addLayout(form);
    layout->addWidget(MakeButtons(this, true));
    passwordEdit->setFocus();
}

std::wstring CAuthErrorDlg::Account() const {
    return accountEdit->text().trimmed().toStdWString();
}

std::wstring CAuthErrorDlg::Password() const {
    return passwordEdit->text().toStdWString();
}

CSetGoogleAccountDlg::CSetGoogleAccountDlg(Model::CConfigInfo& config, bool proxyProblem,
                                           QWidget* parent)
    : QDialog(parent), config(config), storedAccount(config.GetAccountId()) {
    setObjectName(QStringLiteral("setGoogleAccountDlg"));
    setWindowTitle(Text(407));
    auto* layout = new QVBoxLayout(this);
    if (proxyProblem) {
        layout->addWidget(MakeMessage(this, Text(122), "message"));
    }
    auto* form = new QFormLayout;
    accountEdit = MakeEdit(this, "accountEdit", storedAccount, false);
    passwordEdit = MakeEdit(this, "passwordEdit", config.GetAccountPassword(), true);
    proxyCheck = new QCheckBox(Text(403), this);
    proxyCheck->setObjectName(QStringLiteral("proxyCheck"));
    proxyCheck->setChecked(config.IsProxyEnabled() != 0);
    proxyEdit = MakeEdit(this, "proxyEdit", config.GetProxy(), false);
    proxyUserEdit = MakeEdit(this, "proxyUserEdit", config.GetProxyUser(), false);
    proxyPasswordEdit = MakeEdit(this, "proxyPasswordEdit", config.GetProxyPassword(), true);
    form->addRow(Text(401), accountEdit);
    form->addRow(Text(402), passwordEdit);
    form->addRow(proxyCheck);
    form->addRow(Text(404), proxyEdit);
    form->addRow(Text(405), proxyUserEdit);
    form->addRow(Text(406), proxyPasswordEdit);
    layout->addLayout(form);
    layout->addWidget(MakeButtons(this, true));
    (proxyProblem ? proxyEdit : accountEdit)->setFocus();
}

std::wstring CSetGoogleAccountDlg::Account() const {
    return accountEdit->text().trimmed().toStdWString();
}
std::wstring CSetGoogleAccountDlg::Password() const {
    return passwordEdit->text().toStdWString();
}
bool CSetGoogleAccountDlg::ProxyEnabled() const {
    return proxyCheck->isChecked();
}
std::wstring CSetGoogleAccountDlg::Proxy() const {
    return proxyEdit->text().trimmed().toStdWString();
}
std::wstring CSetGoogleAccountDlg::ProxyUser() const {
    return proxyUserEdit->text().trimmed().toStdWString();
}
std::wstring CSetGoogleAccountDlg::ProxyPassword() const {
    return proxyPasswordEdit->text().toStdWString();
}
bool CSetGoogleAccountDlg::AccountChanged() const {
    return Account() != storedAccount;
}

void CSetGoogleAccountDlg::accept() {
    config.SetAccountId(Account());
    config.SetAccountPassword(Password());
    config.WriteInt("general", "enable_proxy", ProxyEnabled() ? 1 : 0);
    config.WriteString("general", "proxy", Proxy());
    config.WriteString("general", "proxy_uid", ProxyUser());
    config.WriteString("general", "proxy_psw", ProxyPassword());
    QDialog::accept();
}

CErrorDlg::CErrorDlg(const std::wstring& description, const std::wstring& text, bool settingsOffer,
                     QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("errorDlg"));
    setWindowTitle(Text(408));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeMessage(this, Q(description), "description"));
    if (!text.empty()) {
        layout->addWidget(MakeMessage(this, Q(text), "detail"));
    }
    auto* buttons = MakeButtons(this, settingsOffer);
    if (settingsOffer) {
        buttons->button(QDialogButtonBox::Ok)->setText(Text(409));
    }
    layout->addWidget(buttons);
}

CVersionUpNoticeDlg::CVersionUpNoticeDlg(const std::string& current, const std::string& latest,
                                         QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("versionUpNoticeDlg"));
    setWindowTitle(Text(410));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeMessage(
        this, Text(411).arg(QString::fromStdString(latest), QString::fromStdString(current)),
        "message"));
    layout->addWidget(MakeButtons(this, false));
}
