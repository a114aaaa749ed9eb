// CSetStyleDlg: the style management dialog ("スタイル設定"). Lists the
// ".style" files of the style folder, previews the selected one on every
// calendar window at once, and manages the files: new (a copy of the
// selected style, then edited), edit (with a ".bak" backup that a cancelled
// editor brings back), rename, delete (never the last one), import (checked
// like a loaded style; a damaged or hostile file is refused) and export. It
// also holds the five display options of section "option". OK keeps the
// selection as general/style; Cancel shows the style of the opening again.
//
// CSetStyleNameDlg asks for a style name.
//
// Opened modally from a calendar window, one at a time (IsOpen). Widgets
// carry object names and the commands are public so that tests can drive
// the dialog. User-interface thread only.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class IStyleTargets;
class QLineEdit;
class QListWidget;
class QPushButton;
namespace Model {
class CConfigInfo;
}

class CSetStyleNameDlg : public QDialog {
    Q_OBJECT
public:
    CSetStyleNameDlg(const QString& name, QWidget* parent = nullptr);
    QString Name() const;
    void SetName(const QString& name);

private:
    QLineEdit* edit_;
};

class CSetStyleDlg : public QDialog {
    Q_OBJECT
public:
    // The option keys of section "option", in the order of the check list.
    static constexpr const char* kOptionKeys[5] = {
        "booked_bold", "booked_italic", "booked_underline", "monday_frist", "fix_cal_height"};

    CSetStyleDlg(Model::CConfigInfo& config, const std::string& styleFolder, IStyleTargets& targets,
                 QWidget* parent = nullptr);
    ~CSetStyleDlg() override;

    // True while a style dialog is open (a second one is not opened).
    static bool IsOpen() { return openCount_ > 0; }

    // The titles of the list, in order, and the selected one.
    std::vector<std::wstring> Titles() const;
    std::wstring SelectedTitle() const;
    // Selects the entry of `title` (previewing it); false when none has it.
    bool SelectTitle(const std::wstring& title);
    // The style file of a title.
    std::wstring StyleFile(const std::wstring& title) const;
    // The option check list (tests tick items through it).
    QListWidget* OptionList() const { return options_; }
    // After OK: whether the week's first day changed.
    bool WeekStartChanged() const { return weekStartChanged_; }

    // The commands of the buttons and of the "ファイル(&F)" menu.
    void OnNew();
    void OnEdit();
    void OnRename();
    void OnDelete();
    void OnImport();
    void OnExport();

    void accept() override;
    void reject() override;

private:
    void Fill();
    void AddTitle(const std::wstring& title);
    void ApplySelected();
    QString Path(const std::wstring& title) const;

    Model::CConfigInfo& config_;
    std::string styleFolder_;
    IStyleTargets& targets_;
    std::wstring originalStyle_;  // title of general/style at the opening
    bool weekStartChanged_ = false;
    QListWidget* list_;
    QListWidget* options_;
    static inline int openCount_ = 0;
};

// Edits the style in `file` with the style editor, with a ".bak" copy of the
// file taken first: the style is applied everywhere, the editor runs, and a
// cancelled editor gets the file back from the copy (byte for byte) and the
// windows their previous look. The copy is deleted in every case. Used by
// the style dialog and the calendar window's edit-style command. True when
// the editor ended with OK.
bool EditStyleWithBackup(const std::wstring& file, IStyleTargets& targets, QWidget* parent);
