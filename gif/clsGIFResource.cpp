// Kept apart so that only the resource form of LoadGIF needs Qt.
#include <QFile>
#include <QString>

#include "gif/Limits.h"
#include "gif/clsGIF.h"

namespace vimo {

bool clsGIF::LoadGIF(const ResourceName& resource) {
  ResetForLoad();
  QString name = QString::fromStdString(resource.id);
  if (!name.startsWith(QLatin1String(":/"))) name = QLatin1String(":/CUSTOM/") + name;
  QFile file(name);
  if (resource.id.empty() || !file.open(QIODevice::ReadOnly)) {
    RaiseGIFError(kFileDoesNotExist);
    return false;
  }
  if (file.size() > static_cast<qint64>(gif_limits::kMaxStreamBytes)) return false;
  const QByteArray bytes = file.readAll();
  return LoadGIF(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                               static_cast<std::size_t>(bytes.size())));
}

}  // namespace vimo
