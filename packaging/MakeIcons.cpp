// Makes the desktop icons from the main window's built-in picture, so the menu shows the same
// character the user then meets: vimo_make_icons <folder> <icon name> <size>...
// writes <folder>/<size>x<size>/<icon name>.png for each size, in the hicolor theme's layout.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdio>

#include "Scene.h"

namespace {

// The character with the top of its flag pole, square, from the sky to the grass it stands in.
constexpr int kCropLeft = 170;
constexpr int kCropTop = 4;
constexpr int kCropSide = 196;

QImage IconOfSize(const QImage& character, int side) {
  QImage icon(side, side, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // Rounded corners, as desktop icons have; the smallest sizes keep every pixel for the character.
  QPainterPath tile;
  const qreal radius = side >= 32 ? side / 8.0 : 0.0;
  tile.addRoundedRect(QRectF(0, 0, side, side), radius, radius);
  painter.setClipPath(tile);
  painter.drawImage(QRect(0, 0, side, side),
                    character.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  painter.end();
  return icon;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s <folder> <icon name> <size>...\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  const QImage character = BuiltInScene().copy(kCropLeft, kCropTop, kCropSide, kCropSide);
  for (int i = 3; i < argc; ++i) {
    const int side = QString::fromLatin1(argv[i]).toInt();
    if (side < 8 || side > 1024) {
      std::fprintf(stderr, "%s: not an icon size: %s\n", argv[0], argv[i]);
      return 2;
    }
    const QString sizeFolder = QStringLiteral("%1/%2x%2").arg(folder).arg(side);
    const QString file = QStringLiteral("%1/%2.png").arg(sizeFolder, name);
    if (!QDir().mkpath(sizeFolder) || !IconOfSize(character, side).save(file, "PNG")) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], qPrintable(file));
      return 1;
    }
  }
  return 0;
}
