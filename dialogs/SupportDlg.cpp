#include "dialogs/SupportDlg.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/MaintenanceLog.h"
#include "app/SupportArchive.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/ModalHook.h"
#include "platform/DesktopFolder.h"
#include "platform/Version.h"

CSupportDlg::CSupportDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("supportDlg"));
    setWindowTitle(dialogs::Text(803));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(QStringLiteral("動作記録(ログ)をひとつのZIPファイルにまとめます。\n"
                                           "アカウント名は伏せられ、パスワードは含まれません。"),
                            this);
    layout->addWidget(note);
    include_ =
        new QCheckBox(QStringLiteral("カレンダ情報を出力する（予定の内容は含みません）"), this);
    include_->setObjectName(QStringLiteral("includeCalendars"));
    include_->setChecked(false);
    layout->addWidget(include_);
    auto* buttons = new QDialogButtonBox(this);
    auto* output = buttons->addButton(QStringLiteral("出力"), QDialogButtonBox::AcceptRole);
    output->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool CSupportDlg::IncludeCalendars() const {
    return include_->isChecked();
}

bool RunSupportBundle(QWidget* parent, const SupportBundleParts& parts) {
    CSupportDlg ask(parent);
    if (dialogs::ExecModal(ask) != QDialog::Accepted) {
        return false;
    }
    dialogs::FileDialogRequest request;
    request.kind = dialogs::FileDialogRequest::kSaveFile;
    request.title = dialogs::Text(803);
    request.filter = QStringLiteral("zip (*.zip)");
    request.defaultSuffix = QStringLiteral("zip");
    request.proposedPath =
        QString::fromStdString(platform::GetDesktopFolder()) + QStringLiteral("/WrenSupport.zip");
    const QString path = dialogs::AskSaveFile(parent, request);
    if (path.isEmpty()) {
        return false;
    }

    const bool include = ask.IncludeCalendars();
    if (parts.dumpWindows) {
        parts.dumpWindows(include);
    }
    if (parts.dumpDatabase) {
        parts.dumpDatabase(include);
    }
    const app::SupportArchiveResult result =
        app::WriteSupportArchive(parts.dataFolder + "/log", path.toStdString());
    if (parts.log) {
        for (const std::string& skipped : result.skipped) {
            parts.log->Write(Utility::kLogWarn, "<menu> support: not readable " + skipped);
        }
        parts.log->Write(result.written ? Utility::kLogInfo : Utility::kLogError,
                         "<menu> support bundle " +
                             std::string(result.written ? "written" : "failed ") + result.error,
                         static_cast<long>(result.entries.size()));
    }
    if (!result.written) {
        dialogs::ShowMessage(parent, dialogs::Text(812).arg(QString::fromStdString(result.error)),
                             QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    return true;
}

CAboutDlg::CAboutDlg(const SupportBundleParts& parts, QWidget* parent)
    : QDialog(parent), parts_(parts) {
    setObjectName(QStringLiteral("aboutDlg"));
    setWindowTitle(dialogs::Text(804));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(
        QStringLiteral("<b>Daymark</b> ") + QString::fromLatin1(platform::kVersionText), this);
    layout->addWidget(title);
    layout->addWidget(new QLabel(QStringLiteral("デスクトップカレンダ"), this));
    auto* row = new QHBoxLayout;
    auto* support = new QPushButton(QStringLiteral("サポート情報作成"), this);
    support->setObjectName(QStringLiteral("supportButton"));
    auto* folder = new QPushButton(QStringLiteral("データフォルダを開く"), this);
    folder->setObjectName(QStringLiteral("dataFolderButton"));
    row->addWidget(support);
    row->addWidget(folder);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    connect(support, &QPushButton::clicked, this, &CAboutDlg::OnSupport);
    connect(folder, &QPushButton::clicked, this, &CAboutDlg::OnOpenDataFolder);
}

void CAboutDlg::OnSupport() {
    RunSupportBundle(this, parts_);
}

void CAboutDlg::OnOpenDataFolder() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(parts_.dataFolder)));
}
