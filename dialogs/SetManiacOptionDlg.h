// CSetManiacOptionDlg: the option dialog ("オプション設定"): the account, the
// periodic synchronisation and its interval, the proxy, and four switches
// (start at logon, icon bar, vertical icon bar, mouse wheel). It edits a
// ManiacOptions value; ApplyManiacOptions then stores it and does what the
// change asks for: a new login and a synchronisation when the network
// settings changed, the setup wizard for a new account when the account
// (its kind, its server or its name) changed, the icon bars rebuilt when their direction changed.
//
// Modal; user-interface thread only. Object names: "setManiacOptionDlg",
// "kindCombo", "serverEdit", "accountEdit", "passwordEdit", "periodicCheck", "intervalCombo",
// "proxyCheck", "proxyEdit", "proxyUserEdit", "proxyPasswordEdit",
// "optionList", "okButton", "cancelButton".
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "googledata/ProtocolNumbers.h"
#include "platform/WindowMessages.h"

class ISetupManager;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QWidget;

namespace Model {
class CConfigInfo;
}

// What the option dialog edits.
struct ManiacOptions {
    googledata::AccountKind accountKind = googledata::kAccountKindService;
    std::wstring caldavServer;
    std::wstring account;
    std::wstring password;
    bool periodicSync = true;
    int syncDuration = 60;  // minutes, at least 10
    bool proxyEnabled = false;
    std::wstring proxy;
    std::wstring proxyUser;
    std::wstring proxyPassword;
    bool startup = false;
    bool iconBar = true;
    bool verticalIconBar = false;
    bool useMouseWheel = true;

    static ManiacOptions FromConfig(const Model::CConfigInfo& config);
};

// The shortest interval of the periodic synchronisation, in minutes.
inline constexpr int kMinSyncDuration = 10;

class CSetManiacOptionDlg : public QDialog {
    Q_OBJECT
public:
    // `localMode`: no account: account, password and proxy cannot be edited.
    CSetManiacOptionDlg(const ManiacOptions& values, bool localMode, QWidget* parent = nullptr);

    // The values after OK.
    const ManiacOptions& Values() const { return values; }

    void accept() override;

private:
    void EnableFields();

    ManiacOptions values;
    bool localMode;
    QComboBox* kindCombo;
    QLineEdit* serverEdit;
    QLineEdit* accountEdit;
    QLineEdit* passwordEdit;
    QCheckBox* periodicCheck;
    QComboBox* intervalCombo;
    QCheckBox* proxyCheck;
    QWidget* proxyFields;
    QLineEdit* proxyEdit;
    QLineEdit* proxyUserEdit;
    QLineEdit* proxyPasswordEdit;
    QListWidget* optionList;
};

// Where ApplyManiacOptions sends its requests: the dispatch window's command
// message (with the rebuild-icon-bars command) and its wizard request (with
// the new-account kind).
struct ManiacApplyTarget {
    platform::WindowHandle dispatchWindow = 0;
    uint32_t commandMessage = 0;
    uint32_t rebuildIconBarCommand = 0;
    uint32_t wizardRequest = 0;
    uint32_t newAccountKind = 0;
};

// What applying led to.
enum class ManiacApplyResult {
    kStored,        // stored; the network settings are unchanged
    kSynchronised,  // new login with the changed settings and a synchronisation
    kNewAccount,    // the account changed: the wizard was asked for
};

// Stores `values` (configuration keys and loaded fields, the start-up
// entry), sends what the change asks for, and, unless a new account follows,
// calls `redrawAll`.
ManiacApplyResult ApplyManiacOptions(const ManiacOptions& values, Model::CConfigInfo& config,
                                     ISetupManager& manager, const ManiacApplyTarget& target,
                                     const std::function<void()>& redrawAll);
