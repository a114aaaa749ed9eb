// The small dialogs the dispatch window opens when the service refuses the
// account or the network settings fail:
// - CAuthErrorDlg: the account and password were refused; asks for them again;
// - CSetGoogleAccountDlg: the account and the proxy settings; on OK it
//   stores them in the configuration store;
// - CErrorDlg: the manager's last error, optionally offering the settings;
// - CVersionUpNoticeDlg: a newer version is published.
// Widgets carry object names so that tests can find and fill them.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QCheckBox;

namespace Model {
class CConfigInfo;
}

class CAuthErrorDlg : public QDialog {
    Q_OBJECT
public:
    CAuthErrorDlg(const std::wstring& account, QWidget* parent = nullptr);
    std::wstring Account() const;
    std::wstring Password() const;

private:
    QLineEdit* accountEdit;
    QLineEdit* passwordEdit;
};

class CSetGoogleAccountDlg : public QDialog {
    Q_OBJECT
public:
    // `proxyProblem`: the dialog opens because the proxy failed; the proxy
    // fields get the focus.
    CSetGoogleAccountDlg(Model::CConfigInfo& config, bool proxyProblem, QWidget* parent = nullptr);

    std::wstring Account() const;
    std::wstring Password() const;
    bool ProxyEnabled() const;
    std::wstring Proxy() const;
    std::wstring ProxyUser() const;
    std::wstring ProxyPassword() const;
    // The entered account differs from the one stored when the dialog opened.
    bool AccountChanged() const;

    void accept() override;

private:
    Model::CConfigInfo& config;
    std::wstring storedAccount;
    QLineEdit* accountEdit;
    QLineEdit* passwordEdit;
    QCheckBox* proxyCheck;
    QLineEdit* proxyEdit;
    QLineEdit* proxyUserEdit;
    QLineEdit* proxyPasswordEdit;
};

class CErrorDlg : public QDialog {
    Q_OBJECT
public:
    // With `settingsOffer` the OK button reads "open the settings".
    CErrorDlg(const std::wstring& description, const std::wstring& text, bool settingsOffer,
              QWidget* parent = nullptr);
};

class CVersionUpNoticeDlg : public QDialog {
    Q_OBJECT
public:
    CVersionUpNoticeDlg(const std::string& current, const std::string& latest,
                        QWidget* parent = nullptr);
};
