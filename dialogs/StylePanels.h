// The style editor's region panels. Each derives from CPanelBase, is created
// for the application's style object, shows that region's fields in its
// controls and writes them back on StoreToStyle() (the editor's "take your
// values" request, sent before the panel is replaced, on apply and on OK).
// Colours are shown as colour buttons (QColorDialog), transparency as a
// percentage folded into the alpha byte of the colours it governs, fonts as
// a list of the installed families that keeps an unknown stored name. Text
// colours are always stored opaque.
//
// Panels live inside the editor; user-interface thread only.
#pragma once

#include <QGroupBox>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "model/CalendarStyleInfo.h"

class QCheckBox;
class QComboBox;
class QSpinBox;
class QLineEdit;
class QFormLayout;

// A button showing a colour; a click opens the colour dialog. Keeps the
// colour as ARGB; the alpha byte is kept unless SetAlpha changes it.
class CColorButton : public QPushButton {
    Q_OBJECT
public:
    CColorButton(Model::ArgbColor color, QWidget* parent);
    Model::ArgbColor Color() const { return color_; }
    void SetColor(Model::ArgbColor color);

private:
    void Choose();
    Model::ArgbColor color_;
};

// The percentage shown for an alpha byte (0 opaque, 100 fully transparent)
// and the alpha byte of a percentage.
int TransparencyPercent(Model::ArgbColor color);
Model::ArgbColor WithTransparency(Model::ArgbColor color, int percent);

// The fields of one TextStyle: colour, font family, size, bold, italic,
// underline, alignment, visibility, outline and shadow. Parts can be left
// out (a panel that shows the colour elsewhere).
class CTextStyleBox : public QGroupBox {
    Q_OBJECT
public:
    enum Parts { kColor = 1, kAlignment = 2, kVisible = 4, kEffects = 8, kAll = 15 };
    CTextStyleBox(const QString& title, const Model::TextStyle& style, int parts, QWidget* parent);
    // Writes the shown fields into `style`, leaving the others alone.
    void Store(Model::TextStyle& style) const;

    CColorButton* color = nullptr;
    QComboBox* family = nullptr;
    QSpinBox* size = nullptr;
    QCheckBox* bold = nullptr;
    QCheckBox* italic = nullptr;
    QCheckBox* underline = nullptr;
    QComboBox* alignment = nullptr;
    QComboBox* lineAlignment = nullptr;
    QCheckBox* visible = nullptr;
    QCheckBox* outline = nullptr;
    QSpinBox* outlineThickness = nullptr;
    CColorButton* outlineColor = nullptr;
    QCheckBox* shadow = nullptr;
    QSpinBox* shadowOffset = nullptr;
    CColorButton* shadowColor = nullptr;

private:
    int parts_;
};

class CPanelBase : public QWidget {
    Q_OBJECT
public:
    CPanelBase(Model::CCalendarStyleInfo& style, QWidget* parent);
    // The controls' values into the style object.
    virtual void StoreToStyle() = 0;

protected:
    Model::CCalendarStyleInfo& style_;
    QFormLayout* form_;
};

// "全体" / "背景": window background and its transparency, frame, background
// image, window shape.
class CPanelAllBack : public CPanelBase {
    Q_OBJECT
public:
    explicit CPanelAllBack(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    CColorButton* background;
    QSpinBox* transparency;
    CColorButton* frameColor;
    QCheckBox* frame;
    QCheckBox* imageOn;
    QLineEdit* image;
    QComboBox* shape;
};

// "年・月" / "背景": header margins, same as window, header background.
class CPanelYmBack : public CPanelBase {
    Q_OBJECT
public:
    explicit CPanelYmBack(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    QSpinBox* margins[4];
    QCheckBox* sameAsWindow;
    CColorButton* background;
    QSpinBox* transparency;
};

// One text style of the header ("年", "月(数字)").
class CPanelTextOnly : public CPanelBase {
    Q_OBJECT
public:
    CPanelTextOnly(Model::CCalendarStyleInfo& style, Model::TextStyle& text, const QString& title,
                   QWidget* parent);
    void StoreToStyle() override;
    CTextStyleBox* text;

protected:
    Model::TextStyle& field_;
};

class CPanelYmYear : public CPanelTextOnly {
    Q_OBJECT
public:
    explicit CPanelYmYear(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
};

class CPanelYmMonthNum : public CPanelTextOnly {
    Q_OBJECT
public:
    explicit CPanelYmMonthNum(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
};

// "年・月" / "月(文字)": month name text and the naming format.
class CPanelYmMonthChar : public CPanelTextOnly {
    Q_OBJECT
public:
    explicit CPanelYmMonthChar(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    QComboBox* format;
};

// "週" / "背景": weekday row shape, top and bottom margins (left and right
// are stored 0), same as window, frame, background and frame colours.
class CPanelWeekBack : public CPanelBase {
    Q_OBJECT
public:
    explicit CPanelWeekBack(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    QComboBox* shape;
    QSpinBox* marginTop;
    QSpinBox* marginBottom;
    QCheckBox* sameAsWindow;
    QCheckBox* frame;
    CColorButton* background;
    QSpinBox* transparency;
    CColorButton* frameColor;
};

// "週" / "フォント・配置": weekday text and the naming format.
class CPanelWeekText : public CPanelTextOnly {
    Q_OBJECT
public:
    explicit CPanelWeekText(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    QComboBox* format;
};

// "日" / "背景": the grid of day cells: the gaps between cells and the
// margins round the grid.
class CPanelDayBack : public CPanelBase {
    Q_OBJECT
public:
    explicit CPanelDayBack(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    QSpinBox* gapX;
    QSpinBox* gapY;
    QSpinBox* margins[4];
};

// "日" / "フォント・配置": the font, alignment and effects of the five day
// text styles (one setting for all), their boxes, the day text margins.
class CPanelDayText : public CPanelBase {
    Q_OBJECT
public:
    explicit CPanelDayText(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    CTextStyleBox* text;
    QComboBox* boxShape;
    QCheckBox* boxFill;
    QCheckBox* boxFrame;
    QSpinBox* margins[4];
};

// "日" / "色": text, box fill and box frame colours of weekdays, Saturdays,
// Sundays and holidays, today, other-month days; the booked-day colours.
class CPanelDayColor : public CPanelBase {
    Q_OBJECT
public:
    explicit CPanelDayColor(Model::CCalendarStyleInfo& style, QWidget* parent = nullptr);
    void StoreToStyle() override;
    // Rows: 平日, 土曜日, 日曜・祝日, 今日, 今月以外.
    CColorButton* text[5];
    CColorButton* fill[5];
    CColorButton* frame[5];
    QCheckBox* bookedTextOn;
    CColorButton* bookedText;
    QCheckBox* bookedBackgroundOn;
    CColorButton* bookedBackground;

private:
    Model::DayTextStyle* Day(int row) const;
};

// The panel of a region (CEditStyleDlg::Region order).
std::unique_ptr<CPanelBase> MakeStylePanel(int region, Model::CCalendarStyleInfo& style,
                                           QWidget* parent);
