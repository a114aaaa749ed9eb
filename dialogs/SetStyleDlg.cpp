#include "dialogs/SetStyleDlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/ConfigInfo.h"
#include "dialogs/DialogSupport.h"
#include "dialogs/EditStyleDlg.h"
#include "dialogs/ModalHook.h"
#include "dialogs/StyleTargets.h"
#include "model/CalendarStyleInfo.h"

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* kStyleSuffix = L".style";
const wchar_t* const kOptionTexts[5] = {L"予定のある日は太字", L"予定のある日は斜体",
                                        L"予定のある日は下線", L"月曜日はじまり",
                                        L"カレンダの高さを固定"};

fs::path FsPath(const QString& path) {
    return fs::path(path.toStdString());
}

fs::path FsPath(const std::wstring& path) {
    return fs::path(QString::fromStdWString(path).toStdString());
}

// A name a style file may have: not empty, no folder separator, not hidden.
bool UsableName(const QString& name) {
    return !name.trimmed().isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.startsWith(QLatin1Char('.'));
}

// Copies `from` to `to` through a temporary file beside the target, so that
// a failed copy never leaves half a file in the style folder. Without
// `overwrite` an existing target is an error (file_exists).
std::error_code CopyFile(const fs::path& from, const fs::path& to, bool overwrite) {
    std::error_code ec;
    if (!overwrite && fs::exists(to, ec)) {
        return std::make_error_code(std::errc::file_exists);
    }
    fs::path temp = to;
    temp += ".tmp";
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        fs::rename(temp, to, ec);
    }
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
    }
    return ec;
}

QString CheckText(Model::StyleFileCheck check) {
    switch (check) {
        case Model::StyleFileCheck::kUnreadable:
            return dialogs::Text(807);
        case Model::StyleFileCheck::kTooLarge:
            return dialogs::Text(808);
        case Model::StyleFileCheck::kDamaged:
            return dialogs::Text(809);
        case Model::StyleFileCheck::kUnknownVersion:
            return dialogs::Text(810);
        case Model::StyleFileCheck::kImplausible:
            return dialogs::Text(811);
        case Model::StyleFileCheck::kOk:
            break;
    }
    return {};
}

}  // namespace

// ---------------------------------------------------------------------------

CSetStyleNameDlg::CSetStyleNameDlg(const QString& name, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("setStyleNameDlg"));
    setWindowTitle(dialogs::Text(801));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(dialogs::Text(801), this));
    edit_ = new QLineEdit(name, this);
    edit_->setObjectName(QStringLiteral("nameEdit"));
    edit_->setMinimumWidth(240);
    edit_->selectAll();
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CSetStyleNameDlg::Name() const {
    return edit_->text().trimmed();
}

void CSetStyleNameDlg::SetName(const QString& name) {
    edit_->setText(name);
}

// ---------------------------------------------------------------------------

bool EditStyleWithBackup(const std::wstring& file, IStyleTargets& targets, QWidget* parent) {
    const fs::path path = FsPath(file);
    fs::path backup = path;
    backup += ".bak";
    std::error_code ec;
    fs::copy_file(path, backup, fs::copy_options::overwrite_existing, ec);
    const bool backedUp = !ec;

    targets.LoadAndApply(file);
    CEditStyleDlg editor(targets, parent);
    const bool saved = dialogs::ExecModal(editor) == QDialog::Accepted;
    if (!saved) {
        if (backedUp) {
            fs::copy_file(backup, path, fs::copy_options::overwrite_existing, ec);
        }
        targets.LoadAndApply(file);
    }
    fs::remove(backup, ec);
    return saved;
}

// ---------------------------------------------------------------------------

CSetStyleDlg::CSetStyleDlg(Model::CConfigInfo& config, const std::string& styleFolder,
                           IStyleTargets& targets, QWidget* parent)
    : QDialog(parent), config_(config), styleFolder_(styleFolder), targets_(targets) {
    ++openCount_;
    setObjectName(QStringLiteral("setStyleDlg"));
    setWindowTitle(dialogs::Text(800));

    auto* layout = new QVBoxLayout(this);
    auto* menuBar = new QMenuBar(this);
    QMenu* fileMenu = menuBar->addMenu(QStringLiteral("ファイル(&F)"));
    fileMenu->addAction(QStringLiteral("名前の変更"), this, &CSetStyleDlg::OnRename);
    fileMenu->addAction(QStringLiteral("削除"), this, &CSetStyleDlg::OnDelete);
    fileMenu->addSeparator();
    fileMenu->addAction(QStringLiteral("インポート"), this, &CSetStyleDlg::OnImport);
    fileMenu->addAction(QStringLiteral("エクスポート"), this, &CSetStyleDlg::OnExport);
    layout->setMenuBar(menuBar);

    auto* top = new QHBoxLayout;
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("styleList"));
    list_->setMinimumSize(200, 180);
    top->addWidget(list_, 1);
    auto* side = new QVBoxLayout;
    auto* newButton = new QPushButton(QStringLiteral("新規作成..."), this);
    newButton->setObjectName(QStringLiteral("newButton"));
    auto* editButton = new QPushButton(QStringLiteral("編集..."), this);
    editButton->setObjectName(QStringLiteral("editButton"));
    connect(newButton, &QPushButton::clicked, this, &CSetStyleDlg::OnNew);
    connect(editButton, &QPushButton::clicked, this, &CSetStyleDlg::OnEdit);
    side->addWidget(newButton);
    side->addWidget(editButton);
    side->addStretch();
    top->addLayout(side);
    layout->addLayout(top);

    options_ = new QListWidget(this);
    options_->setObjectName(QStringLiteral("optionList"));
    const int fields[5] = {config_.bookedBold, config_.bookedItalic, config_.bookedUnderline,
                           config_.mondayFirst, config_.fixCalHeight};
    for (int i = 0; i < 5; ++i) {
        auto* item = new QListWidgetItem(QString::fromWCharArray(kOptionTexts[i]), options_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(fields[i] != 0 ? Qt::Checked : Qt::Unchecked);
    }
    options_->setMaximumHeight(options_->sizeHintForRow(0) * 5 + 8);
    layout->addWidget(options_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // The opening: the list, the current style selected (no preview needed:
    // the windows show it already), the options ticked.
    std::wstring current = config_.GetStyleName();
    if (current.size() > 6 && current.ends_with(kStyleSuffix)) {
        current.resize(current.size() - 6);
    }
    originalStyle_ = current;
    Fill();
    {
        const QSignalBlocker blocker(list_);
        const auto found = list_->findItems(QString::fromStdWString(current), Qt::MatchExactly);
        list_->setCurrentRow(found.isEmpty() ? 0 : list_->row(found.front()));
    }
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ApplySelected(); });
}

CSetStyleDlg::~CSetStyleDlg() {
    --openCount_;
}

void CSetStyleDlg::Fill() {
    // Sorted by name, as the folder listing shows them on the desktop this
    // program comes from (a Linux listing has no order of its own).
    std::vector<std::wstring> titles;
    std::error_code ec;
    for (fs::directory_iterator it(FsPath(QString::fromStdString(styleFolder_)), ec), end;
         !ec && it != end; it.increment(ec)) {
        const QString name = QString::fromStdString(it->path().filename().string());
        if (it->is_regular_file(ec) && name.endsWith(QStringLiteral(".style")) && name.size() > 6) {
            titles.push_back(name.chopped(6).toStdWString());
        }
    }
    std::sort(titles.begin(), titles.end(), [](const std::wstring& a, const std::wstring& b) {
        return QString::fromStdWString(a).compare(QString::fromStdWString(b), Qt::CaseInsensitive) <
               0;
    });
    for (const std::wstring& title : titles) {
        list_->addItem(QString::fromStdWString(title));
    }
}

std::vector<std::wstring> CSetStyleDlg::Titles() const {
    std::vector<std::wstring> titles;
    for (int i = 0; i < list_->count(); ++i) {
        titles.push_back(list_->item(i)->text().toStdWString());
    }
    return titles;
}

std::wstring CSetStyleDlg::SelectedTitle() const {
    const QListWidgetItem* item = list_->currentItem();
    return item ? item->text().toStdWString() : std::wstring();
}

bool CSetStyleDlg::SelectTitle(const std::wstring& title) {
    const auto found = list_->findItems(QString::fromStdWString(title), Qt::MatchExactly);
    if (found.isEmpty()) {
        return false;
    }
    list_->setCurrentItem(found.front());
    return true;
}

QString CSetStyleDlg::Path(const std::wstring& title) const {
    return QString::fromStdString(styleFolder_) + QLatin1Char('/') +
           QString::fromStdWString(title) + QStringLiteral(".style");
}

std::wstring CSetStyleDlg::StyleFile(const std::wstring& title) const {
    return Path(title).toStdWString();
}

void CSetStyleDlg::ApplySelected() {
    const std::wstring title = SelectedTitle();
    if (!title.empty()) {
        targets_.LoadAndApply(StyleFile(title));
    }
}

void CSetStyleDlg::AddTitle(const std::wstring& title) {
    const auto found = list_->findItems(QString::fromStdWString(title), Qt::MatchExactly);
    if (found.isEmpty()) {
        list_->addItem(QString::fromStdWString(title));
        list_->setCurrentRow(list_->count() - 1);  // previews it
    } else if (list_->currentItem() == found.front()) {
        ApplySelected();  // overwritten: show the new content
    } else {
        list_->setCurrentItem(found.front());
    }
}

void CSetStyleDlg::OnNew() {
    const std::wstring source = SelectedTitle();
    if (source.empty()) {
        return;
    }
    CSetStyleNameDlg ask(QString(), this);
    if (dialogs::ExecModal(ask) != QDialog::Accepted) {
        return;
    }
    const QString name = ask.Name();
    if (!UsableName(name)) {
        dialogs::ShowMessage(this, dialogs::Text(805), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    const std::error_code ec =
        CopyFile(FsPath(Path(source)), FsPath(Path(name.toStdWString())), false);
    if (ec == std::errc::file_exists) {
        dialogs::ShowMessage(this, dialogs::Text(150), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    if (ec) {
        dialogs::ShowMessage(this, dialogs::Text(818).arg(QString::fromStdString(ec.message())),
                             QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    AddTitle(name.toStdWString());
    OnEdit();
}

void CSetStyleDlg::OnEdit() {
    const std::wstring title = SelectedTitle();
    if (!title.empty()) {
        EditStyleWithBackup(StyleFile(title), targets_, this);
    }
}

void CSetStyleDlg::OnRename() {
    const std::wstring title = SelectedTitle();
    if (title.empty()) {
        return;
    }
    CSetStyleNameDlg ask(QString::fromStdWString(title), this);
    if (dialogs::ExecModal(ask) != QDialog::Accepted || ask.Name().toStdWString() == title) {
        return;
    }
    const QString name = ask.Name();
    if (!UsableName(name)) {
        dialogs::ShowMessage(this, dialogs::Text(805), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    std::error_code ec;
    const fs::path target = FsPath(Path(name.toStdWString()));
    if (fs::exists(target, ec)) {
        dialogs::ShowMessage(this, dialogs::Text(150), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    fs::rename(FsPath(Path(title)), target, ec);
    if (ec) {
        dialogs::ShowMessage(this, dialogs::Text(818).arg(QString::fromStdString(ec.message())),
                             QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    // The style in use keeps being found under its new name, also when the
    // dialog is then cancelled.
    if (title == originalStyle_) {
        originalStyle_ = name.toStdWString();
        config_.WriteString("general", "style", originalStyle_ + kStyleSuffix);
    }
    const QSignalBlocker blocker(list_);
    list_->currentItem()->setText(name);
    targets_.AppStyle().path = StyleFile(name.toStdWString());
    targets_.ApplyEverywhere();
}

void CSetStyleDlg::OnDelete() {
    const std::wstring title = SelectedTitle();
    if (title.empty()) {
        return;
    }
    if (list_->count() <= 1) {
        dialogs::ShowMessage(this, dialogs::Text(102), QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    if (!dialogs::AskYesNo(this, dialogs::Text(144))) {
        return;
    }
    std::error_code ec;
    fs::remove(FsPath(Path(title)), ec);
    if (ec) {
        dialogs::ShowMessage(this, dialogs::Text(818).arg(QString::fromStdString(ec.message())),
                             QMessageBox::Ok, QMessageBox::Warning);
        return;
    }
    {
        const QSignalBlocker blocker(list_);
        delete list_->takeItem(list_->currentRow());
        list_->setCurrentRow(0);
    }
    // Cancel must not go back to a style that is gone.
    if (title == originalStyle_) {
        originalStyle_ = SelectedTitle();
        config_.WriteString("general", "style", originalStyle_ + kStyleSuffix);
    }
    ApplySelected();
}

void CSetStyleDlg::OnImport() {
    dialogs::FileDialogRequest request;
    request.kind = dialogs::FileDialogRequest::kOpenFiles;
    request.title = dialogs::Text(814);
    request.filter = QStringLiteral("style (*.style)");
    request.proposedPath = QDir::homePath();
    for (const QString& file : dialogs::AskOpenFiles(this, request)) {
        const QFileInfo info(file);
        // The same checks as a style that is loaded: a damaged or hostile
        // file never takes the place of a good style.
        const Model::StyleFileCheck check =
            Model::CCalendarStyleInfo::CheckFile(file.toStdWString());
        if (check != Model::StyleFileCheck::kOk || !UsableName(info.completeBaseName())) {
            dialogs::ShowMessage(this, dialogs::Text(806).arg(info.fileName(), CheckText(check)),
                                 QMessageBox::Ok, QMessageBox::Warning);
            continue;
        }
        const std::wstring title = info.completeBaseName().toStdWString();
        const fs::path target = FsPath(Path(title));
        std::error_code ec = CopyFile(FsPath(file), target, false);
        if (ec == std::errc::file_exists) {
            std::error_code same;
            if (fs::equivalent(FsPath(file), target, same)) {
                AddTitle(title);  // already the style folder's own file
                continue;
            }
            if (!dialogs::AskYesNo(this, dialogs::Text(147))) {
                continue;
            }
            ec = CopyFile(FsPath(file), target, true);
        }
        if (ec) {
            dialogs::ShowMessage(this, dialogs::Text(818).arg(QString::fromStdString(ec.message())),
                                 QMessageBox::Ok, QMessageBox::Warning);
            continue;
        }
        AddTitle(title);
    }
}

void CSetStyleDlg::OnExport() {
    const std::wstring title = SelectedTitle();
    if (title.empty()) {
        return;
    }
    dialogs::FileDialogRequest request;
    request.kind = dialogs::FileDialogRequest::kSaveFile;
    request.title = dialogs::Text(815);
    request.filter = QStringLiteral("style (*.style)");
    request.proposedPath =
        QDir::homePath() + QLatin1Char('/') + QString::fromStdWString(title) + ".style";
    request.defaultSuffix = QStringLiteral("style");
    const QString path = dialogs::AskSaveFile(this, request);
    if (path.isEmpty()) {
        return;
    }
    const std::error_code ec = CopyFile(FsPath(Path(title)), FsPath(path), true);
    if (ec) {
        dialogs::ShowMessage(this, dialogs::Text(818).arg(QString::fromStdString(ec.message())),
                             QMessageBox::Ok, QMessageBox::Warning);
    }
}

void CSetStyleDlg::accept() {
    const std::wstring title = SelectedTitle();
    if (!title.empty()) {
        config_.WriteString("general", "style", title + kStyleSuffix);
    }
    int* const fields[5] = {&config_.bookedBold, &config_.bookedItalic, &config_.bookedUnderline,
                            &config_.mondayFirst, &config_.fixCalHeight};
    const int mondayFirst = config_.mondayFirst;
    for (int i = 0; i < 5; ++i) {
        const int value = options_->item(i)->checkState() == Qt::Checked ? 1 : 0;
        *fields[i] = value;
        config_.WriteInt("option", kOptionKeys[i], value);
    }
    weekStartChanged_ = mondayFirst != config_.mondayFirst;
    targets_.ApplyEverywhere();
    QDialog::accept();
}

void CSetStyleDlg::reject() {
    targets_.LoadAndApply(StyleFile(originalStyle_));
    QDialog::reject();
}
