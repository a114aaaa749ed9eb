#include "dialogs/EditStyleDlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

#include "dialogs/DialogSupport.h"
#include "dialogs/StylePanels.h"
#include "dialogs/StyleTargets.h"
#include "platform/Folders.h"

namespace {

constexpr int kRegionRole = Qt::UserRole + 1;

std::filesystem::path FsPath(const std::wstring& path) {
    return std::filesystem::path(QString::fromStdWString(path).toStdString());
}

}  // namespace

CEditStyleDlg::CEditStyleDlg(IStyleTargets& targets, QWidget* parent)
    : QDialog(parent), targets_(targets), snapshot_(targets.AppStyle()) {
    setObjectName(QStringLiteral("editStyleDlg"));
    setWindowTitle(dialogs::Text(802));

    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("regionTree"));
    tree_->setHeaderHidden(true);
    tree_->setFixedWidth(170);
    const struct {
        const char* branch;
        const char* leaves[4];
    } branches[] = {
        {"全体", {"背景"}},
        {"年・月", {"背景", "年", "月(数字)", "月(文字)"}},
        {"週", {"背景", "フォント・配置"}},
        {"日", {"背景", "フォント・配置", "色"}},
    };
    int region = 0;
    for (const auto& b : branches) {
        auto* branch = new QTreeWidgetItem(tree_, {QString::fromUtf8(b.branch)});
        branch->setFlags(Qt::ItemIsEnabled);
        for (const char* leaf : b.leaves) {
            if (leaf == nullptr) {
                break;
            }
            auto* item = new QTreeWidgetItem(branch, {QString::fromUtf8(leaf)});
            item->setData(0, kRegionRole, region++);
        }
    }
    tree_->expandAll();
    body->addWidget(tree_);

    auto* right = new QVBoxLayout;
    panelArea_ = new QVBoxLayout;
    right->addLayout(panelArea_, 1);
    const QString notePath = QString::fromStdString(platform::GetResourceFolder()) +
                             QStringLiteral("/image/styleNote.png");
    const QPixmap note(notePath);
    if (!note.isNull()) {
        auto* noteLabel = new QLabel(this);
        noteLabel->setPixmap(note);
        right->addWidget(noteLabel);
    }
    body->addLayout(right, 1);
    layout->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    restore_ = new QPushButton(QStringLiteral("初期設定に戻す"), this);
    restore_->setObjectName(QStringLiteral("restoreButton"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    auto* apply = new QPushButton(QStringLiteral("適用(&A)"), this);
    apply->setObjectName(QStringLiteral("applyButton"));
    buttons->addWidget(restore_);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(apply);
    layout->addLayout(buttons);
    connect(restore_, &QPushButton::clicked, this, &CEditStyleDlg::OnRestore);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply, &QPushButton::clicked, this, &CEditStyleDlg::OnApply);

    std::error_code ec;
    restore_->setEnabled(std::filesystem::exists(FsPath(targets_.AppStyle().path + L".org"), ec));

    connect(tree_, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { ShowPanel(item); });
    resize(640, 520);
    SelectRegion(kAllBack);
}

CEditStyleDlg::~CEditStyleDlg() = default;

void CEditStyleDlg::SelectRegion(Region region) {
    for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
        const QVariant data = (*it)->data(0, kRegionRole);
        if (data.isValid() && data.toInt() == region) {
            tree_->setCurrentItem(*it);
            return;
        }
    }
}

void CEditStyleDlg::StorePanel() {
    if (panel_) {
        panel_->StoreToStyle();
    }
}

void CEditStyleDlg::ShowPanel(QTreeWidgetItem* item) {
    const QVariant data = item ? item->data(0, kRegionRole) : QVariant();
    if (!data.isValid()) {
        return;  // a branch: the shown panel stays
    }
    StorePanel();
    panel_.reset();
    panel_ = MakeStylePanel(data.toInt(), targets_.AppStyle(), this);
    if (panel_) {
        panelArea_->addWidget(panel_.get());
        panel_->show();
    }
}

void CEditStyleDlg::OnApply() {
    StorePanel();
    targets_.ApplyEverywhere();
}

void CEditStyleDlg::OnRestore() {
    if (!dialogs::AskYesNo(this, dialogs::Text(106))) {
        return;
    }
    Model::CCalendarStyleInfo& style = targets_.AppStyle();
    const std::wstring file = style.path;
    std::error_code ec;
    std::filesystem::copy_file(FsPath(file + L".org"), FsPath(file),
                               std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        dialogs::ShowMessage(this, dialogs::Text(818).arg(QString::fromStdString(ec.message())),
                             QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    style.Load(file);
    targets_.ApplyEverywhere();
    // The panel shows the restored values (its own would overwrite them).
    const QVariant region =
        tree_->currentItem() ? tree_->currentItem()->data(0, kRegionRole) : QVariant();
    panel_.reset();
    if (region.isValid()) {
        panel_ = MakeStylePanel(region.toInt(), style, this);
        panelArea_->addWidget(panel_.get());
        panel_->show();
    }
}

void CEditStyleDlg::accept() {
    StorePanel();
    targets_.ApplyEverywhere();
    if (!targets_.AppStyle().Save(std::wstring())) {
        dialogs::ShowMessage(
            this, dialogs::Text(818).arg(QString::fromStdWString(targets_.AppStyle().path)),
            QMessageBox::Ok, QMessageBox::Warning);
    }
    QDialog::accept();
}

void CEditStyleDlg::reject() {
    panel_.reset();
    targets_.AppStyle() = snapshot_;
    QDialog::reject();
}
