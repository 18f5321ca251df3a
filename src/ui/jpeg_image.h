#pragma once
// JPEG decoding through libjpeg, for the pictures stored with the window.
#include <QByteArray>
#include <QImage>

namespace tq::ui {

// Decodes a baseline or progressive JPEG held in memory. A corrupt, truncated
// or empty input gives a null QImage; libjpeg's messages never reach stderr.
QImage decodeJpeg(const QByteArray& data);

}  // namespace tq::ui
