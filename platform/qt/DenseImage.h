// Images for high-density screens: a picture "name.png" may come with a
// variant drawn at twice the density, "name@2x.png". On a screen whose pixel
// ratio is above 1 the variant is loaded and marked as twice as dense, so
// it covers the same logical size and draws sharp; otherwise (or without a
// variant) the plain file is loaded, and a painter enlarges it smoothly.
// User-interface thread (it asks the screens).
#pragma once

#include <QImage>
#include <QString>

namespace platform {

// The largest device pixel ratio among the screens (1 without any).
qreal LargestScreenRatio();

// The image of `path` for the screens at hand; a null image when neither
// file can be read.
QImage LoadImageForScreens(const QString& path);

}  // namespace platform
