// The support bundle: CSupportDlg ("サポート情報の作成") asks whether the
// calendar and database dumps go with it; RunSupportBundle asks where the
// archive goes (the desktop folder and "WrenSupport.zip" are proposed),
// writes or deletes the dumps so that an old one is never sent, and packs
// the log folder (app/SupportArchive.h). CAboutDlg ("バージョン情報") starts
// it with its button "サポート情報作成" and opens the data folder with
// "データフォルダを開く".
//
// User-interface thread only; the dialogs run modally through ExecModal and
// the file dialog through the file dialog hook, so that tests answer them.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
namespace Utility {
class CMaintenanceLog;
}

class CSupportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSupportDlg(QWidget* parent = nullptr);
    // "カレンダ情報を出力する（予定の内容は含みません）"
    bool IncludeCalendars() const;
    QCheckBox* IncludeBox() const { return include_; }

private:
    QCheckBox* include_;
};

// What the bundle is made of.
struct SupportBundleParts {
    std::string dataFolder;                  // the archive packs "<dataFolder>/log"
    std::function<void(bool)> dumpWindows;   // write (true) or delete "calendars.txt"
    std::function<void(bool)> dumpDatabase;  // write (true) or delete "db.txt"
    Utility::CMaintenanceLog* log = nullptr;
};

// The whole procedure; true when an archive was written. Cancel in either
// dialog writes nothing.
bool RunSupportBundle(QWidget* parent, const SupportBundleParts& parts);

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    CAboutDlg(const SupportBundleParts& parts, QWidget* parent = nullptr);

    void OnSupport();
    void OnOpenDataFolder();

private:
    SupportBundleParts parts_;
};
