// Draws the program's button and icon images with QPainter and writes them as
// PNG files into the folder given as the first argument (resources/image by
// default), so that they can be rebuilt and restyled from source:
//   build/bin/daymark_draw_images resources/image [sheet.png]
// With a second argument it also writes a contact sheet of every image,
// enlarged six times, for review.
// The notification-area icon "smallIcon.png" is a blank calendar page: the
// program draws today's day over it. Every image is also written at twice
// the density as "name@2x.png", drawn (not enlarged) for high-density
// screens.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kGlyph(96, 102, 112);       // normal button glyph
const QColor kAccent(40, 116, 210);      // hovered glyph
const QColor kHoverFill(224, 236, 252);  // hovered button ground
const QColor kHoverFrame(170, 198, 236);
const QColor kRed(214, 64, 56);

// The density the images are being drawn at: 1, or 2 for the "@2x" set.
int g_scale = 1;

// A transparent image of w x h logical pixels at the current density.
QImage Canvas(int w, int h) {
    QImage image(w * g_scale, h * g_scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(g_scale);
    image.fill(Qt::transparent);
    return image;
}

void Begin(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

bool Save(const QImage& image, const QString& folder, const char* name) {
    QString file = QString::fromLatin1(name);
    if (g_scale != 1) {
        file.insert(file.lastIndexOf(QLatin1Char('.')), QStringLiteral("@%1x").arg(g_scale));
    }
    const QString path = folder + "/" + file;
    if (!image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// An icon-bar button (24 x 23): the glyph, on a soft rounded ground when
// hovered.
using Glyph = std::function<void(QPainter&, const QColor&)>;
QImage BarButton(const Glyph& glyph, bool hover) {
    QImage image = Canvas(24, 23);
    QPainter p(&image);
    Begin(p);
    if (hover) {
        p.setPen(QPen(kHoverFrame, 1));
        p.setBrush(kHoverFill);
        p.drawRoundedRect(QRectF(0.5, 0.5, 23, 22), 4, 4);
    }
    glyph(p, hover ? kAccent : kGlyph);
    return image;
}

void Chevron(QPainter& p, const QColor& c, bool left) {
    QPainterPath path;
    const double x = left ? 14.5 : 9.5;
    const double d = left ? -5 : 5;
    path.moveTo(x, 6.5);
    path.lineTo(x + d, 11.5);
    path.lineTo(x, 16.5);
    p.setPen(QPen(c, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void Today(QPainter& p, const QColor& c) {
    p.setPen(QPen(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(12, 11.5), 6.5, 6.5);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(QPointF(12, 11.5), 3, 3);
}

void CalendarPage(QPainter& p, const QColor& c) {
    const QRectF page(5.5, 4.5, 13, 14);
    p.setPen(QPen(c, 1.2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(page, 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(6, 5, 12, 3.5));
    p.setPen(QPen(c, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9, 3), QPointF(9, 6));
    p.drawLine(QPointF(15, 3), QPointF(15, 6));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(8);
    font.setBold(true);
    p.setFont(font);
    p.setPen(c);
    p.drawText(QRectF(5.5, 8.5, 13, 10), Qt::AlignCenter, QStringLiteral("31"));
}

void SyncArrows(QPainter& p, const QColor& c) {
    const QRectF r(6, 5.5, 12, 12);
    p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, 30 * 16, 140 * 16);
    p.drawArc(r, 210 * 16, 140 * 16);
    // Arrow heads at the ends of the arcs (angles 170 and 350 degrees).
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    auto head = [&](double degrees, double turn) {
        const double a = degrees * M_PI / 180;
        const QPointF tip(12 + 6 * std::cos(a), 11.5 - 6 * std::sin(a));
        const double t = (degrees + turn) * M_PI / 180;  // direction of travel
        const QPointF dir(std::cos(t), -std::sin(t));
        const QPointF side(-dir.y(), dir.x());
        QPolygonF tri;
        tri << tip + dir * 3.2 << tip + side * 2.8 << tip - side * 2.8;
        p.drawPolygon(tri);
    };
    head(170, 90);
    head(350, 90);
}

void Padlock(QPainter& p, const QColor& c, bool locked) {
    p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    if (locked) {
        shackle.moveTo(8.5, 11);
        shackle.lineTo(8.5, 8);
        shackle.arcTo(QRectF(8.5, 4.5, 7, 7), 180, -180);
        shackle.lineTo(15.5, 11);
    } else {
        shackle.moveTo(8.5, 11);
        shackle.lineTo(8.5, 7);
        shackle.arcTo(QRectF(8.5, 3.5, 7, 7), 180, -180);
        shackle.lineTo(15.5, 8);
    }
    p.drawPath(shackle);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(QRectF(6.5, 10.5, 11, 8), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 14), 1.3, 1.3);
    p.drawRect(QRectF(11.5, 14, 1, 2.5));
}

void MenuLines(QPainter& p, const QColor& c) {
    p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap));
    for (double y : {7.5, 11.5, 15.5}) {
        p.drawLine(QPointF(7, y), QPointF(17, y));
    }
}

// "smallIcon.png": a 16 x 16 calendar page with a red band and two rings;
// the page's middle stays light for the day the program draws over it.
QImage SmallIcon() {
    QImage image = Canvas(16, 16);
    QPainter p(&image);
    Begin(p);
    p.setPen(QPen(QColor(150, 150, 150), 1));
    p.setBrush(QColor(252, 252, 252));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 14), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    QPainterPath band;
    band.addRoundedRect(QRectF(1, 2, 14, 4), 1.5, 1.5);
    p.drawPath(band);
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(4, 0, 1.5, 3.5));
    p.drawRect(QRectF(10.5, 0, 1.5, 3.5));
    return image;
}

// "syncWithGoogle.png": the notice shown while the calendar synchronises.
QImage SyncNotice() {
    QImage image = Canvas(168, 34);
    QPainter p(&image);
    Begin(p);
    QLinearGradient ground(0, 0, 0, 34);
    ground.setColorAt(0, QColor(255, 255, 255));
    ground.setColorAt(1, QColor(232, 240, 252));
    p.setPen(QPen(kHoverFrame, 1));
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0.5, 0.5, 167, 33), 6, 6);
    p.save();
    p.translate(6, 5.5);
    SyncArrows(p, kAccent);
    p.restore();
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(48, 56, 72));
    p.drawText(QRectF(34, 0, 130, 34), Qt::AlignVCenter | Qt::AlignLeft,
               QString::fromUtf8("Googleと同期中…"));
    return image;
}

// The registration window's close button (16 x 16).
QImage CloseButton(bool active) {
    QImage image = Canvas(16, 16);
    QPainter p(&image);
    Begin(p);
    p.setPen(Qt::NoPen);
    p.setBrush(active ? kRed : QColor(178, 174, 160));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    return image;
}

// The registration window's register button (48 x 20): "登録" on a pill.
QImage RegistButton(bool active) {
    QImage image = Canvas(48, 20);
    QPainter p(&image);
    Begin(p);
    QLinearGradient ground(0, 0, 0, 20);
    if (active) {
        ground.setColorAt(0, QColor(86, 156, 236));
        ground.setColorAt(1, kAccent);
    } else {
        ground.setColorAt(0, QColor(250, 250, 244));
        ground.setColorAt(1, QColor(226, 224, 210));
    }
    p.setPen(QPen(active ? QColor(30, 92, 170) : QColor(168, 164, 148), 1));
    p.setBrush(ground);
    p.drawRoundedRect(QRectF(0.5, 0.5, 47, 19), 9.5, 9.5);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(active ? Qt::white : QColor(72, 72, 64));
    p.drawText(QRectF(0, 0, 48, 20), Qt::AlignCenter, QString::fromUtf8("登録"));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/image");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    struct Button {
        const char* normal;
        const char* hover;
        Glyph glyph;
    };
    const Button buttons[] = {
        {"prev.png", "prevSelect.png", [](QPainter& p, const QColor& c) { Chevron(p, c, true); }},
        {"next.png", "nextSelect.png", [](QPainter& p, const QColor& c) { Chevron(p, c, false); }},
        {"today.png", "todaySelect.png", Today},
        {"31.png", "31Select.png", CalendarPage},
        {"sync.png", "syncSelect.png", SyncArrows},
        {"lock.png", "lockSelect.png", [](QPainter& p, const QColor& c) { Padlock(p, c, true); }},
        {"unlock.png", "unlockSelect.png",
         [](QPainter& p, const QColor& c) { Padlock(p, c, false); }},
        {"menu.png", "menuSelect.png", MenuLines},
    };
    bool ok = true;
    for (const int scale : {1, 2}) {
        g_scale = scale;
        for (const Button& b : buttons) {
            ok &= Save(BarButton(b.glyph, false), folder, b.normal);
            ok &= Save(BarButton(b.glyph, true), folder, b.hover);
        }
        ok &= Save(SmallIcon(), folder, "smallIcon.png");
        ok &= Save(SyncNotice(), folder, "syncWithGoogle.png");
        ok &= Save(CloseButton(true), folder, "closeActive.png");
        ok &= Save(CloseButton(false), folder, "closeNonActive.png");
        ok &= Save(RegistButton(true), folder, "registActive.png");
        ok &= Save(RegistButton(false), folder, "registNonActive.png");
    }
    if (ok && argc > 2) {
        QStringList names = QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files);
        names.removeIf([](const QString& name) { return name.contains(QLatin1String("@2x")); });
        constexpr int kScale = 6;
        QImage sheet(4 * 180 * kScale, ((names.size() + 3) / 4) * 40 * kScale,
                     QImage::Format_ARGB32);
        sheet.fill(QColor(242, 242, 222));
        QPainter p(&sheet);
        for (int i = 0; i < names.size(); ++i) {
            const QImage image(folder + "/" + names[i]);
            p.drawImage(QPoint((i % 4) * 180 * kScale, (i / 4) * 40 * kScale),
                        image.scaled(image.size() * kScale));
        }
        p.end();
        ok = sheet.save(QString::fromLocal8Bit(argv[2]));
    }
    return ok ? 0 : 1;
}
