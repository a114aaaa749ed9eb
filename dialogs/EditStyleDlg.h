// CEditStyleDlg: the style editor ("スタイルのカスタマイズ"). Edits the
// application's style object region by region: a tree of the calendar
// window's regions on the left, the panel of the selected region on the
// right (dialogs/StylePanels.h). Every change can be applied at once to all
// calendar windows; OK applies and saves the style to its file, Cancel puts
// back the copy taken at the opening (the caller restores the file), and
// "初期設定に戻す" reloads the style from the ".org" copy installed with it.
//
// Opened modally by the style dialog (with a backup of the file, see
// EditStyleWithBackup) and by a calendar window's edit-style command. Object
// names and the public commands let tests drive it. User-interface thread
// only.
#pragma once

#include <QDialog>
#include <memory>

#include "model/CalendarStyleInfo.h"

class CPanelBase;
class IStyleTargets;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

class CEditStyleDlg : public QDialog {
    Q_OBJECT
public:
    // The regions, in tree order.
    enum Region {
        kAllBack = 0,
        kYmBack,
        kYmYear,
        kYmMonthNum,
        kYmMonthChar,
        kWeekBack,
        kWeekText,
        kDayBack,
        kDayText,
        kDayColor,
        kRegionCount
    };

    explicit CEditStyleDlg(IStyleTargets& targets, QWidget* parent = nullptr);
    ~CEditStyleDlg() override;

    // Selects the tree leaf of a region (showing its panel).
    void SelectRegion(Region region);
    // The panel shown, or null.
    CPanelBase* CurrentPanel() const { return panel_.get(); }
    // The restore button (disabled without a ".org" file).
    QPushButton* RestoreButton() const { return restore_; }

    // "適用(&A)": the panel's values into the style, every window redrawn.
    void OnApply();
    // "初期設定に戻す": asks, then reloads the style from its ".org" file.
    void OnRestore();
    void accept() override;
    void reject() override;

private:
    void ShowPanel(QTreeWidgetItem* item);
    void StorePanel();

    IStyleTargets& targets_;
    Model::CCalendarStyleInfo snapshot_;
    QTreeWidget* tree_;
    QVBoxLayout* panelArea_;
    std::unique_ptr<CPanelBase> panel_;
    QPushButton* restore_;
};
