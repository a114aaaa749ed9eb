#include "dialogs/StylePanels.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <cmath>

#include "dialogs/DialogSupport.h"

namespace {

using Model::ArgbColor;

QSpinBox* Spin(int low, int high, int value, QWidget* parent) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(low, high);
    spin->setValue(std::clamp(value, low, high));
    spin->setMaximumWidth(90);
    return spin;
}

QCheckBox* Check(const QString& text, int32_t value, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setChecked(value != 0);
    return box;
}

int32_t Flag(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

QComboBox* Choice(const QStringList& items, int value, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->addItems(items);
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : 0);
    return combo;
}

QComboBox* ShapeChoice(int32_t shape, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->addItem(QStringLiteral("なし"), Model::kShapeNone);
    combo->addItem(QStringLiteral("四角形"), Model::kShapeRectangle);
    combo->addItem(QStringLiteral("角丸四角形"), Model::kShapeRoundRect);
    combo->setCurrentIndex(std::clamp(shape, 0, 2));
    return combo;
}

// Four margin spin boxes in a row: left, right, top, bottom.
QWidget* MarginRow(QSpinBox* (&spins)[4], const Model::StyleMargins& m, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    const int values[4] = {m.left, m.right, m.top, m.bottom};
    const char* labels[4] = {"左", "右", "上", "下"};
    for (int i = 0; i < 4; ++i) {
        layout->addWidget(new QLabel(QString::fromUtf8(labels[i]), row));
        spins[i] = Spin(-100, 1000, values[i], row);
        layout->addWidget(spins[i]);
    }
    return row;
}

Model::StyleMargins Margins(QSpinBox* const (&spins)[4]) {
    return {spins[0]->value(), spins[1]->value(), spins[2]->value(), spins[3]->value()};
}

// A colour and its transparency percentage in one row.
QWidget* ColorRow(CColorButton* button, QSpinBox* percent, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button);
    if (percent) {
        layout->addWidget(new QLabel(QStringLiteral("透過率(%)"), row));
        layout->addWidget(percent);
    }
    layout->addStretch();
    return row;
}

const QStringList& HorizontalNames() {
    static const QStringList names{QStringLiteral("左"), QStringLiteral("中央"),
                                   QStringLiteral("右")};
    return names;
}

const QStringList& VerticalNames() {
    static const QStringList names{QStringLiteral("上"), QStringLiteral("中央"),
                                   QStringLiteral("下")};
    return names;
}

}  // namespace

// ---------------------------------------------------------------------------

int TransparencyPercent(ArgbColor color) {
    const int alpha = static_cast<int>(color >> 24);
    return static_cast<int>(std::lround((255 - alpha) * 100.0 / 255.0));
}

ArgbColor WithTransparency(ArgbColor color, int percent) {
    const int p = std::clamp(percent, 0, 100);
    const auto alpha = static_cast<uint32_t>(std::lround(255 - p * 255.0 / 100.0));
    // An unchanged percentage keeps the exact alpha byte it was shown for.
    if (TransparencyPercent(color) == p) {
        return color;
    }
    return (alpha << 24) | (color & 0x00FFFFFFu);
}

CColorButton::CColorButton(ArgbColor color, QWidget* parent) : QPushButton(parent), color_(color) {
    setFixedSize(56, 22);
    setObjectName(QStringLiteral("colorButton"));
    connect(this, &QPushButton::clicked, this, &CColorButton::Choose);
    SetColor(color);
}

void CColorButton::SetColor(ArgbColor color) {
    color_ = color;
    QPixmap swatch(40, 12);
    swatch.fill(QColor::fromRgb(color | 0xFF000000u));
    QPainter painter(&swatch);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 39, 11);
    painter.end();
    setIcon(QIcon(swatch));
    setIconSize(swatch.size());
    setToolTip(QStringLiteral("#%1").arg(color & 0x00FFFFFFu, 6, 16, QLatin1Char('0')));
}

void CColorButton::Choose() {
    const QColor chosen =
        QColorDialog::getColor(QColor::fromRgb(color_ | 0xFF000000u), this, dialogs::Text(817));
    if (chosen.isValid()) {
        SetColor((color_ & 0xFF000000u) | (chosen.rgb() & 0x00FFFFFFu));
    }
}

// ---------------------------------------------------------------------------

CTextStyleBox::CTextStyleBox(const QString& title, const Model::TextStyle& s, int parts,
                             QWidget* parent)
    : QGroupBox(title, parent), parts_(parts) {
    auto* form = new QFormLayout(this);
    if (parts & kVisible) {
        visible = Check(QStringLiteral("表示する"), s.visible, this);
        form->addRow(visible);
    }
    if (parts & kColor) {
        color = new CColorButton(s.color, this);
        form->addRow(QStringLiteral("文字色"), ColorRow(color, nullptr, this));
    }
    family = new QComboBox(this);
    family->setObjectName(QStringLiteral("fontFamily"));
    family->setEditable(true);
    family->addItems(QFontDatabase::families());
    // A family that is not installed stays as stored.
    family->setCurrentText(QString::fromStdWString(s.fontFamily));
    form->addRow(QStringLiteral("フォント"), family);
    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    size = Spin(1, 400, s.fontSize, row);
    rowLayout->addWidget(size);
    bold = Check(QStringLiteral("太字"), s.fontStyle & Model::kFontBold, row);
    italic = Check(QStringLiteral("斜体"), s.fontStyle & Model::kFontItalic, row);
    underline = Check(QStringLiteral("下線"), s.fontStyle & Model::kFontUnderline, row);
    rowLayout->addWidget(bold);
    rowLayout->addWidget(italic);
    rowLayout->addWidget(underline);
    rowLayout->addStretch();
    form->addRow(QStringLiteral("サイズ"), row);
    if (parts & kAlignment) {
        auto* align = new QWidget(this);
        auto* alignLayout = new QHBoxLayout(align);
        alignLayout->setContentsMargins(0, 0, 0, 0);
        alignment = Choice(HorizontalNames(), s.format.alignment, align);
        lineAlignment = Choice(VerticalNames(), s.format.lineAlignment, align);
        alignLayout->addWidget(new QLabel(QStringLiteral("横"), align));
        alignLayout->addWidget(alignment);
        alignLayout->addWidget(new QLabel(QStringLiteral("縦"), align));
        alignLayout->addWidget(lineAlignment);
        alignLayout->addStretch();
        form->addRow(QStringLiteral("配置"), align);
    }
    if (parts & kEffects) {
        auto* line = new QWidget(this);
        auto* lineLayout = new QHBoxLayout(line);
        lineLayout->setContentsMargins(0, 0, 0, 0);
        outline = Check(QStringLiteral("付ける"), s.outline, line);
        outlineThickness = Spin(0, 100, s.outlineThickness, line);
        outlineColor = new CColorButton(s.outlineColor, line);
        lineLayout->addWidget(outline);
        lineLayout->addWidget(new QLabel(QStringLiteral("太さ"), line));
        lineLayout->addWidget(outlineThickness);
        lineLayout->addWidget(outlineColor);
        lineLayout->addStretch();
        form->addRow(QStringLiteral("縁取り"), line);
        auto* shade = new QWidget(this);
        auto* shadeLayout = new QHBoxLayout(shade);
        shadeLayout->setContentsMargins(0, 0, 0, 0);
        shadow = Check(QStringLiteral("付ける"), s.shadow, shade);
        shadowOffset = Spin(-100, 100, s.shadowOffsetX, shade);
        shadowColor = new CColorButton(s.shadowColor, shade);
        shadeLayout->addWidget(shadow);
        shadeLayout->addWidget(new QLabel(QStringLiteral("ずれ"), shade));
        shadeLayout->addWidget(shadowOffset);
        shadeLayout->addWidget(shadowColor);
        shadeLayout->addStretch();
        form->addRow(QStringLiteral("影"), shade);
    }
}

void CTextStyleBox::Store(Model::TextStyle& s) const {
    if (color) {
        s.color = color->Color() | 0xFF000000u;  // text colours are opaque
    }
    s.fontFamily = family->currentText().trimmed().toStdWString();
    s.fontSize = size->value();
    s.fontStyle = (s.fontStyle & Model::kFontStrikeout) |
                  (bold->isChecked() ? Model::kFontBold : 0) |
                  (italic->isChecked() ? Model::kFontItalic : 0) |
                  (underline->isChecked() ? Model::kFontUnderline : 0);
    if (alignment) {
        s.format.alignment = alignment->currentIndex();
        s.format.lineAlignment = lineAlignment->currentIndex();
    }
    if (visible) {
        s.visible = Flag(visible);
    }
    if (outline) {
        s.outline = Flag(outline);
        s.outlineThickness = outlineThickness->value();
        s.outlineColor = outlineColor->Color() | 0xFF000000u;
        s.shadow = Flag(shadow);
        // One number for both offsets, as the panel shows it.
        if (shadowOffset->value() != s.shadowOffsetX) {
            s.shadowOffsetX = shadowOffset->value();
            s.shadowOffsetY = shadowOffset->value();
        }
        s.shadowColor = shadowColor->Color();
    }
}

// ---------------------------------------------------------------------------

CPanelBase::CPanelBase(Model::CCalendarStyleInfo& style, QWidget* parent)
    : QWidget(parent), style_(style), form_(new QFormLayout(this)) {}

CPanelAllBack::CPanelAllBack(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelBase(s, parent) {
    setObjectName(QStringLiteral("CPanelAllBack"));
    background = new CColorButton(s.windowBackground, this);
    transparency = Spin(0, 100, TransparencyPercent(s.windowBackground), this);
    form_->addRow(QStringLiteral("背景色"), ColorRow(background, transparency, this));
    frame = Check(QStringLiteral("枠を描く"), s.windowFrame, this);
    frameColor = new CColorButton(s.windowFrameColor, this);
    form_->addRow(frame, ColorRow(frameColor, nullptr, this));
    imageOn = Check(QStringLiteral("背景画像を使う"), s.backgroundImageOn, this);
    form_->addRow(imageOn);
    auto* imageRow = new QWidget(this);
    auto* imageLayout = new QHBoxLayout(imageRow);
    imageLayout->setContentsMargins(0, 0, 0, 0);
    image = new QLineEdit(QString::fromStdWString(s.backgroundImage), imageRow);
    auto* browse = new QPushButton(QStringLiteral("参照..."), imageRow);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString dir = QFileInfo(QString::fromStdWString(style_.path)).absolutePath();
        dialogs::FileDialogRequest request;
        request.title = dialogs::Text(816);
        request.filter = QStringLiteral("image (*.png *.jpg *.jpeg *.bmp *.gif)");
        request.proposedPath = dir;
        const QStringList chosen = dialogs::AskOpenFiles(this, request);
        if (!chosen.isEmpty()) {
            image->setText(chosen.front());
        }
    });
    imageLayout->addWidget(image, 1);
    imageLayout->addWidget(browse);
    form_->addRow(QStringLiteral("画像ファイル"), imageRow);
    shape = ShapeChoice(s.windowShape, this);
    shape->removeItem(0);  // a window has a shape
    shape->setCurrentIndex(s.windowShape == Model::kShapeRectangle ? 0 : 1);
    form_->addRow(QStringLiteral("形"), shape);
}

void CPanelAllBack::StoreToStyle() {
    const Model::ArgbColor chosen = WithTransparency(background->Color(), transparency->value());
    // The alpha byte the panel chose; a panel left alone keeps the stored one.
    if (chosen >> 24 != style_.windowBackground >> 24) {
        style_.windowAlpha = static_cast<int32_t>(chosen >> 24);
    }
    style_.windowBackground = chosen;
    style_.windowFrameColor = frameColor->Color();
    style_.windowFrame = Flag(frame);
    style_.backgroundImageOn = Flag(imageOn);
    style_.backgroundImage = image->text().trimmed().toStdWString();
    style_.windowShape = shape->currentData().toInt();
}

CPanelYmBack::CPanelYmBack(Model::CCalendarStyleInfo& s, QWidget* parent) : CPanelBase(s, parent) {
    setObjectName(QStringLiteral("CPanelYmBack"));
    form_->addRow(QStringLiteral("余白"), MarginRow(margins, s.headerMargins, this));
    sameAsWindow = Check(QStringLiteral("全体の背景と同じ"), s.headerSameAsWindow, this);
    form_->addRow(sameAsWindow);
    background = new CColorButton(s.headerBackground, this);
    transparency = Spin(0, 100, TransparencyPercent(s.headerBackground), this);
    form_->addRow(QStringLiteral("背景色"), ColorRow(background, transparency, this));
}

void CPanelYmBack::StoreToStyle() {
    style_.headerMargins = Margins(margins);
    style_.headerSameAsWindow = Flag(sameAsWindow);
    style_.headerBackground = WithTransparency(background->Color(), transparency->value());
}

CPanelTextOnly::CPanelTextOnly(Model::CCalendarStyleInfo& s, Model::TextStyle& field,
                               const QString& title, QWidget* parent)
    : CPanelBase(s, parent), field_(field) {
    text = new CTextStyleBox(title, field, CTextStyleBox::kAll, this);
    form_->addRow(text);
}

void CPanelTextOnly::StoreToStyle() {
    text->Store(field_);
}

CPanelYmYear::CPanelYmYear(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelTextOnly(s, s.yearText, QStringLiteral("年"), parent) {
    setObjectName(QStringLiteral("CPanelYmYear"));
}

CPanelYmMonthNum::CPanelYmMonthNum(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelTextOnly(s, s.monthNumText, QStringLiteral("月(数字)"), parent) {
    setObjectName(QStringLiteral("CPanelYmMonthNum"));
}

CPanelYmMonthChar::CPanelYmMonthChar(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelTextOnly(s, s.monthNameText, QStringLiteral("月(文字)"), parent) {
    setObjectName(QStringLiteral("CPanelYmMonthChar"));
    QStringList names;
    for (int f = 0; f <= 7; ++f) {
        names << QString::fromStdWString(Model::CCalendarStyleInfo::GetMonthName(f, 7));
    }
    format = Choice(names, s.monthNameFormat, this);
    form_->addRow(QStringLiteral("表記"), format);
}

void CPanelYmMonthChar::StoreToStyle() {
    CPanelTextOnly::StoreToStyle();
    style_.monthNameFormat = format->currentIndex();
}

CPanelWeekBack::CPanelWeekBack(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelBase(s, parent) {
    setObjectName(QStringLiteral("CPanelWeekBack"));
    shape = ShapeChoice(s.weekRowShape, this);
    shape->removeItem(0);
    shape->setCurrentIndex(s.weekRowShape == Model::kShapeRoundRect ? 1 : 0);
    form_->addRow(QStringLiteral("形"), shape);
    marginTop = Spin(-100, 1000, s.weekRowMargins.top, this);
    marginBottom = Spin(-100, 1000, s.weekRowMargins.bottom, this);
    form_->addRow(QStringLiteral("上の余白"), marginTop);
    form_->addRow(QStringLiteral("下の余白"), marginBottom);
    sameAsWindow = Check(QStringLiteral("全体の背景と同じ"), s.weekRowSameAsWindow, this);
    form_->addRow(sameAsWindow);
    background = new CColorButton(s.weekRowBackground, this);
    transparency = Spin(0, 100, TransparencyPercent(s.weekRowBackground), this);
    form_->addRow(QStringLiteral("背景色"), ColorRow(background, transparency, this));
    frame = Check(QStringLiteral("枠を描く"), s.weekRowFrame, this);
    frameColor = new CColorButton(s.weekRowFrameColor, this);
    form_->addRow(frame, ColorRow(frameColor, nullptr, this));
}

void CPanelWeekBack::StoreToStyle() {
    style_.weekRowShape = shape->currentData().toInt();
    style_.weekRowMargins = {0, 0, marginTop->value(), marginBottom->value()};
    style_.weekRowSameAsWindow = Flag(sameAsWindow);
    style_.weekRowFrame = Flag(frame);
    style_.weekRowBackground = WithTransparency(background->Color(), transparency->value());
    // The row's transparency governs its frame too.
    style_.weekRowFrameColor =
        (style_.weekRowBackground & 0xFF000000u) | (frameColor->Color() & 0x00FFFFFFu);
}

CPanelWeekText::CPanelWeekText(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelTextOnly(s, s.weekText, QStringLiteral("曜日"), parent) {
    setObjectName(QStringLiteral("CPanelWeekText"));
    QStringList names;
    for (int f = 0; f <= 8; ++f) {
        QString sample;
        for (int c = 0; c < 7; ++c) {
            sample += QString::fromStdWString(Model::CCalendarStyleInfo::GetWeekName(f, c, false));
            sample += c < 6 ? QStringLiteral(" ") : QString();
        }
        names << sample;
    }
    format = Choice(names, s.weekNameFormat, this);
    form_->addRow(QStringLiteral("表記"), format);
}

void CPanelWeekText::StoreToStyle() {
    CPanelTextOnly::StoreToStyle();
    style_.weekNameFormat = format->currentIndex();
}

CPanelDayBack::CPanelDayBack(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelBase(s, parent) {
    setObjectName(QStringLiteral("CPanelDayBack"));
    gapX = Spin(0, 200, s.cellGapX, this);
    gapY = Spin(0, 200, s.cellGapY, this);
    form_->addRow(QStringLiteral("日の間隔(横)"), gapX);
    form_->addRow(QStringLiteral("日の間隔(縦)"), gapY);
    form_->addRow(QStringLiteral("余白"), MarginRow(margins, s.gridMargins, this));
}

void CPanelDayBack::StoreToStyle() {
    style_.cellGapX = gapX->value();
    style_.cellGapY = gapY->value();
    style_.gridMargins = Margins(margins);
}

CPanelDayText::CPanelDayText(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelBase(s, parent) {
    setObjectName(QStringLiteral("CPanelDayText"));
    text = new CTextStyleBox(QStringLiteral("日付"), s.weekdayDayText,
                             CTextStyleBox::kAlignment | CTextStyleBox::kEffects, this);
    form_->addRow(text);
    boxShape = ShapeChoice(s.weekdayDayText.boxShape, this);
    form_->addRow(QStringLiteral("日付の枠の形"), boxShape);
    boxFill = Check(QStringLiteral("塗りつぶす"), s.weekdayDayText.boxFill, this);
    boxFrame = Check(QStringLiteral("枠を描く"), s.weekdayDayText.boxFrame, this);
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(boxFill);
    layout->addWidget(boxFrame);
    layout->addStretch();
    form_->addRow(QString(), row);
    form_->addRow(QStringLiteral("余白"), MarginRow(margins, s.dayTextMargins, this));
}

void CPanelDayText::StoreToStyle() {
    for (Model::DayTextStyle* day :
         {&style_.weekdayDayText, &style_.saturdayDayText, &style_.sundayDayText,
          &style_.todayDayText, &style_.otherMonthDayText}) {
        text->Store(*day);
        day->boxShape = boxShape->currentData().toInt();
        day->boxFill = Flag(boxFill);
        day->boxFrame = Flag(boxFrame);
    }
    style_.dayTextMargins = Margins(margins);
}

Model::DayTextStyle* CPanelDayColor::Day(int row) const {
    Model::DayTextStyle* days[5] = {&style_.weekdayDayText, &style_.saturdayDayText,
                                    &style_.sundayDayText, &style_.todayDayText,
                                    &style_.otherMonthDayText};
    return days[row];
}

CPanelDayColor::CPanelDayColor(Model::CCalendarStyleInfo& s, QWidget* parent)
    : CPanelBase(s, parent) {
    setObjectName(QStringLiteral("CPanelDayColor"));
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("文字色"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("塗りつぶし"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("枠"), this), 0, 3);
    const char* rows[5] = {"平日", "土曜日", "日曜・祝日", "今日", "今月以外"};
    for (int r = 0; r < 5; ++r) {
        const Model::DayTextStyle& day = *Day(r);
        grid->addWidget(new QLabel(QString::fromUtf8(rows[r]), this), r + 1, 0);
        text[r] = new CColorButton(day.color, this);
        fill[r] = new CColorButton(day.boxFillColor, this);
        frame[r] = new CColorButton(day.boxFrameColor, this);
        grid->addWidget(text[r], r + 1, 1);
        grid->addWidget(fill[r], r + 1, 2);
        grid->addWidget(frame[r], r + 1, 3);
    }
    form_->addRow(grid);
    auto* booked = new QGroupBox(QStringLiteral("予定のある日"), this);
    auto* bookedForm = new QFormLayout(booked);
    bookedTextOn = Check(QStringLiteral("文字色"), s.bookedTextColorOn, booked);
    bookedText = new CColorButton(s.bookedTextColor, booked);
    bookedForm->addRow(bookedTextOn, bookedText);
    bookedBackgroundOn = Check(QStringLiteral("背景色"), s.bookedBackgroundOn, booked);
    bookedBackground = new CColorButton(s.bookedBackgroundColor, booked);
    bookedForm->addRow(bookedBackgroundOn, bookedBackground);
    form_->addRow(booked);
}

void CPanelDayColor::StoreToStyle() {
    for (int r = 0; r < 5; ++r) {
        Model::DayTextStyle& day = *Day(r);
        day.color = text[r]->Color() | 0xFF000000u;
        day.boxFillColor = fill[r]->Color();
        day.boxFrameColor = frame[r]->Color();
    }
    style_.bookedTextColorOn = Flag(bookedTextOn);
    style_.bookedTextColor = bookedText->Color() | 0xFF000000u;
    style_.bookedBackgroundOn = Flag(bookedBackgroundOn);
    style_.bookedBackgroundColor = bookedBackground->Color();
}

std::unique_ptr<CPanelBase> MakeStylePanel(int region, Model::CCalendarStyleInfo& style,
                                           QWidget* parent) {
    switch (region) {
        case 0:
            return std::make_unique<CPanelAllBack>(style, parent);
        case 1:
            return std::make_unique<CPanelYmBack>(style, parent);
        case 2:
            return std::make_unique<CPanelYmYear>(style, parent);
        case 3:
            return std::make_unique<CPanelYmMonthNum>(style, parent);
        case 4:
            return std::make_unique<CPanelYmMonthChar>(style, parent);
        case 5:
            return std::make_unique<CPanelWeekBack>(style, parent);
        case 6:
            return std::make_unique<CPanelWeekText>(style, parent);
        case 7:
            return std::make_unique<CPanelDayBack>(style, parent);
        case 8:
            return std::make_unique<CPanelDayText>(style, parent);
        case 9:
            return std::make_unique<CPanelDayColor>(style, parent);
        default:
            return nullptr;
    }
}
