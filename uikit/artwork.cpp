#include "uikit/artwork.h"

#include <QFile>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterArtworkResources() { Q_INIT_RESOURCE(artwork); }

namespace vertamo::ui {

void InitArtwork() {
  static const bool registered = (RegisterArtworkResources(), true);
  (void)registered;
}

QImage LoadArtwork(const QString& name) {
  InitArtwork();
  const QString path = QStringLiteral(":/") + name;
  if (name.isEmpty() || !QFile::exists(path)) return {};
  return QImage(path);
}

}  // namespace vertamo::ui
