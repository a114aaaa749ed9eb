#include "platform/qt/DenseImage.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace platform {

qreal LargestScreenRatio() {
    qreal ratio = 1.0;
    if (qGuiApp != nullptr) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            ratio = std::max(ratio, screen->devicePixelRatio());
        }
    }
    return ratio;
}

QImage LoadImageForScreens(const QString& path) {
    QImage image;
    if (path.isEmpty()) {
        return image;
    }
    if (LargestScreenRatio() > 1.0) {
        const QFileInfo file(path);
        const QString dense = file.dir().filePath(
            file.completeBaseName() + QStringLiteral("@2x") +
            (file.suffix().isEmpty() ? QString() : QLatin1Char('.') + file.suffix()));
        if (QFileInfo::exists(dense) && image.load(dense)) {
            image.setDevicePixelRatio(2.0);
            return image;
        }
    }
    image.load(path);
    return image;
}

}  // namespace platform
