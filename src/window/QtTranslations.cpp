#include "window/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace quindra {

bool InstallQtTranslations(const QLocale& locale) {
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    // Owned by the application, which uses it until it ends.
    translator->setParent(app);
    return QCoreApplication::installTranslator(translator.release());
}

}  // namespace quindra
