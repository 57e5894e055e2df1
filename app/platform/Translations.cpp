#include "platform/Translations.h"

#include "platform/Bundle.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void Translations::install()
{
    // Parented to the application: they live exactly as long as it does.
    auto *own = new QTranslator(QCoreApplication::instance());
    if (own->load(QLocale(), QStringLiteral("quillmere"), QStringLiteral("_"),
                  Bundle::pathForResource(QStringLiteral("translations"))))
        QCoreApplication::installTranslator(own);
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}
