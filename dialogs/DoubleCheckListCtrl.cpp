#include "dialogs/DoubleCheckListCtrl.h"

#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/StringTable.h"

namespace DoubleCheck {

bool IsWritableKind(int32_t accessLevel) {
    return accessLevel == googledata::ACCESS_EDITOR || accessLevel == googledata::ACCESS_OWNER ||
           accessLevel == googledata::ACCESS_ROOT;
}

int Encode(bool writableKind, bool show, bool write) {
    return writableKind ? (show ? 1 : 0) + (write ? 2 : 0) : 4 + (show ? 1 : 0);
}

void Decode(int image, bool& show, bool& write) {
    show = false;
    write = false;
    if (image >= 0 && image <= 3) {
        show = (image & 1) != 0;
        write = (image & 2) != 0;
    } else if (image == 5) {
        show = true;
    }
}

int Click(int image, bool writableKind, int x) {
    bool show = false;
    bool write = false;
    Decode(image, show, write);
    if (x < kShowHalfWidth) {
        show = !show;
    } else if (writableKind) {
        write = !write;
    } else {
        write = false;
    }
    return Encode(writableKind, show, write);
}

}  // namespace DoubleCheck

namespace {

constexpr int kImageRole = Qt::UserRole;
constexpr int kWritableRole = Qt::UserRole + 1;
constexpr int kUriRole = Qt::UserRole + 2;
constexpr int kImageLeft = 4;

QString Text(int id) {
    return QString::fromWCharArray(app::LoadStringText(id));
}

// The box's place in a cell of the first column.
QRect BoxRect(const QRect& cell) {
    return QRect(cell.left() + kImageLeft,
                 cell.top() + (cell.height() - DoubleCheck::kImageHeight) / 2,
                 DoubleCheck::kImageWidth, DoubleCheck::kImageHeight);
}

// Draws the first column's box image (and nothing else there).
class BoxDelegate : public QStyledItemDelegate {
public:
    explicit BoxDelegate(CDoubleCheckListCtrl* list) : QStyledItemDelegate(list), list(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() != 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem plain = option;
        initStyleOption(&plain, index);
        plain.text.clear();
        plain.icon = QIcon();
        QStyledItemDelegate::paint(painter, plain, QModelIndex());
        const QPixmap image = list->Image(index.data(kImageRole).toInt());
        if (!image.isNull()) {
            painter->drawPixmap(BoxRect(option.rect).topLeft(), image);
        }
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), DoubleCheck::kImageHeight + 4));
        return size;
    }

private:
    CDoubleCheckListCtrl* list;
};

}  // namespace

CDoubleCheckListCtrl::CDoubleCheckListCtrl(const std::string& imageFolder, QWidget* parent)
    : QTreeWidget(parent) {
    QImage strip(QString::fromStdString(imageFolder + "/doubleCheck.png"));
    if (!strip.isNull()) {
        // Magenta is the bitmap's transparent colour.
        strip = strip.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < strip.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
            for (int x = 0; x < strip.width(); ++x) {
                if ((line[x] & 0xFFFFFF) == 0xFF00FF) {
                    line[x] = 0;
                }
            }
        }
        for (int i = 0; i < DoubleCheck::kImageCount; ++i) {
            images.push_back(QPixmap::fromImage(strip.copy(i * DoubleCheck::kImageWidth, 0,
                                                           DoubleCheck::kImageWidth,
                                                           DoubleCheck::kImageHeight)));
        }
    }
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new BoxDelegate(this));
    setColumnCount(4);
    setHeaderLabels({Text(137), Text(135), Text(136), QStringLiteral(" URI")});
    const int boxColumn = std::max(DoubleCheck::kImageWidth + 2 * kImageLeft,
                                   header()->fontMetrics().horizontalAdvance(Text(137)) + 20);
    setColumnWidth(0, boxColumn);
    setColumnWidth(1, 160);
    setColumnWidth(2, 160);
    setColumnWidth(3, 160);
}

void CDoubleCheckListCtrl::SetCalendars(const std::list<Model::Calendar>& calendars) {
    clear();
    for (const Model::Calendar& c : calendars) {
        if (c.accesslevel == googledata::ACCESS_NONE) {
            continue;
        }
        auto* item = new QTreeWidgetItem(this);
        const bool writable = DoubleCheck::IsWritableKind(c.accesslevel);
        item->setData(0, kImageRole, DoubleCheck::Encode(writable, c.showEvents, c.writeEvents));
        item->setData(0, kWritableRole, writable);
        item->setData(0, kUriRole, QString::fromStdWString(c.calendarURI));
        item->setText(1, QString::fromStdWString(c.title));
        item->setText(2, QString::fromStdWString(c.summary));
        item->setText(3, QString::fromStdWString(c.calendarURI));
        item->setToolTip(1, QString::fromStdWString(c.title));
    }
    if (topLevelItemCount() > 0) {
        setCurrentItem(topLevelItem(0));
    }
}

std::wstring CDoubleCheckListCtrl::RowURI(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kUriRole).toString().toStdWString() : std::wstring();
}

int CDoubleCheckListCtrl::RowImage(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(0, kImageRole).toInt() : 0;
}

bool CDoubleCheckListCtrl::RowShow(int row) const {
    bool show = false, write = false;
    DoubleCheck::Decode(RowImage(row), show, write);
    return show;
}

bool CDoubleCheckListCtrl::RowWrite(int row) const {
    bool show = false, write = false;
    DoubleCheck::Decode(RowImage(row), show, write);
    return write;
}

QRect CDoubleCheckListCtrl::ImageRect(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? BoxRect(visualRect(indexFromItem(item, 0))) : QRect();
}

QPixmap CDoubleCheckListCtrl::Image(int image) const {
    return image >= 0 && image < static_cast<int>(images.size()) ? images[image] : QPixmap();
}

void CDoubleCheckListCtrl::SetRowImage(int row, int image) {
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setData(0, kImageRole, image);
    }
}

void CDoubleCheckListCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (event->button() == Qt::LeftButton && index.isValid() && index.column() == 0) {
        const int row = index.row();
        const QRect box = ImageRect(row);
        if (box.contains(pos)) {
            const bool writable = topLevelItem(row)->data(0, kWritableRole).toBool();
            SetRowImage(row, DoubleCheck::Click(RowImage(row), writable, pos.x() - box.left()));
        }
    }
    QTreeWidget::mousePressEvent(event);
}

void CDoubleCheckListCtrl::keyPressEvent(QKeyEvent* event) {
    // Space turns "show" over, Shift+Space "write", for the current row.
    const QModelIndex current = currentIndex();
    if (event->key() == Qt::Key_Space && current.isValid()) {
        const int row = current.row();
        const bool writable = topLevelItem(row)->data(0, kWritableRole).toBool();
        const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
        SetRowImage(row, DoubleCheck::Click(RowImage(row), writable,
                                            shift ? DoubleCheck::kShowHalfWidth : 0));
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
