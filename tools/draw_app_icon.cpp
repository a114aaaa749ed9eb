// Draws the program's icon (a month page: red band, two rings, a grid of
// days with today marked) at the sizes of the hicolor theme, into
// packaging/icons/hicolor/<N>x<N>/apps/jp.kestrel.Daymark.png. The scalable
// packaging/icons/hicolor/scalable/apps/jp.kestrel.Daymark.svg is the same
// drawing by hand. Run it after a change:
//   cmake --build build --target daymark_draw_app_icon &&
//   QT_QPA_PLATFORM=offscreen build/bin/daymark_draw_app_icon packaging/icons/hicolor
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

// The drawing on a 256 x 256 grid, scaled to `size`.
QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    // The page.
    p.setPen(QPen(QColor(120, 120, 120), 6));
    p.setBrush(QColor(252, 252, 252));
    p.drawRoundedRect(QRectF(20, 32, 216, 204), 28, 28);
    // The red band.
    QPainterPath band;
    band.addRoundedRect(QRectF(23, 35, 210, 56), 25, 25);
    QPainterPath square;
    square.addRect(QRectF(23, 63, 210, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(214, 48, 49));
    p.drawPath(band.united(square));
    // The rings.
    p.setBrush(QColor(80, 80, 80));
    p.drawRoundedRect(QRectF(70, 12, 18, 48), 9, 9);
    p.drawRoundedRect(QRectF(168, 12, 18, 48), 9, 9);
    // Days: four rows of five, today in red.
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 5; ++col) {
            const bool today = row == 2 && col == 3;
            p.setBrush(today ? QColor(214, 48, 49) : QColor(150, 160, 175));
            p.drawRoundedRect(QRectF(44 + col * 36, 108 + row * 30, 26, 20), 5, 5);
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <hicolor folder>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = root + QStringLiteral("/%1x%1/apps").arg(size);
        ok &= QDir().mkpath(folder);
        ok &= Icon(size).save(folder + QStringLiteral("/jp.kestrel.Daymark.png"));
    }
    return ok ? 0 : 1;
}
