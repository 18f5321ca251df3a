#include "ui/pictures.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>

#include "ui/jpeg_image.h"

// The pictures live in a static library: nothing else references its
// resource object, so the linker would drop it unless registered by hand.
static void registerPictureResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(resources);
    return true;
  }();
  (void)registered;
}

namespace tq::ui {
namespace {

QImage loadResourceJpeg(const char* path) {
  QFile file(QString::fromLatin1(path));
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return decodeJpeg(file.readAll());
}

void showPicture(QLabel* box, const char* path) {
  if (box == nullptr) {
    return;
  }
  const QImage image = loadResourceJpeg(path);
  if (image.isNull()) {
    box->clear();
    return;
  }
  box->setPixmap(QPixmap::fromImage(image));
}

}  // namespace

void loadWindowPictures(QLabel* image1, QLabel* image2) {
  registerPictureResources();
  showPicture(image1, kLogoResource);
  showPicture(image2, kProductResource);
}

}  // namespace tq::ui
