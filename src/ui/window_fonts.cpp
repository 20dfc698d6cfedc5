#include "ui/window_fonts.h"

#include <QDir>
#include <QFontDatabase>

namespace velgrin {

QString LoadWindowFonts(const QString& folder) {
    const QDir dir(folder);
    for (const char* file : {"tahoma.ttf", "tahomabd.ttf"}) {
        const QString path = dir.filePath(QString::fromLatin1(file));
        if (QFile::exists(path)) {
            QFontDatabase::addApplicationFont(path);
        }
    }
    if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) {
        return {};
    }
    return QStringLiteral(
               "the Tahoma font was not found in %1 (Debian package fonts-wine); a wider font "
               "is used and some texts may be cut")
        .arg(folder);
}

QString LoadWindowFonts() {
    return LoadWindowFonts(QStringLiteral(VELGRIN_TAHOMA_DIR));
}

}  // namespace velgrin
