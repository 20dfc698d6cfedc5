#include "ui/standard_dialog_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace velgrin {

namespace {

constexpr const char* kQtBaseRussian = "qtbase_ru";

}  // namespace

QString LoadStandardDialogTexts(const QString& folder) {
    // Owned by the application, which consults it for as long as it runs.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QString::fromLatin1(kQtBaseRussian), folder) &&
        QCoreApplication::installTranslator(translator)) {
        return {};
    }
    delete translator;
    return QStringLiteral(
               "Qt's Russian texts (%1.qm) were not found in %2 (Debian package "
               "qt6-translations-l10n); the standard dialogs speak English")
        .arg(QString::fromLatin1(kQtBaseRussian), folder);
}

QString LoadStandardDialogTexts() {
    return LoadStandardDialogTexts(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

}  // namespace velgrin
