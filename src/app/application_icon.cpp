#include "app/application_icon.h"

#include <QDir>

namespace velgrin {

QIcon ApplicationIcon() {
    // The resource holds one folder per size, each with velgrin.png (see CMakeLists.txt).
    const QDir sizes(QStringLiteral(":/icons"));
    QIcon builtIn;
    for (const QString& size : sizes.entryList(QDir::Dirs, QDir::Name)) {
        builtIn.addFile(sizes.filePath(size + QStringLiteral("/velgrin.png")));
    }
    return QIcon::fromTheme(QStringLiteral("velgrin"), builtIn);
}

}  // namespace velgrin
