#include "platform/host/SessionLanguage.h"

#include "platform/controls/ControlTexts.h"
#include "platform/host/TextCatalog.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace erphost {

QLocale sessionLocale(Language language) {
    return language == Language::English ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                         : QLocale(QLocale::Italian, QLocale::Italy);
}

QString applySessionLanguage(Language language, const TextCatalog& catalog) {
    const QLocale locale = sessionLocale(language);
    QLocale::setDefault(locale);
    erpctl::setTextSource([&catalog, language](int id, const QString& italian) {
        const QString text = catalog.rawText(id, language);
        return text.isEmpty() ? italian : text;
    });
    // Qt's widgets speak English by themselves; other languages come from the distribution's
    // translations (qt6-translations-l10n).
    static QTranslator* qtTexts = nullptr;
    if (qtTexts) {
        QCoreApplication::removeTranslator(qtTexts);
        delete qtTexts;
        qtTexts = nullptr;
    }
    if (language == Language::English || !QCoreApplication::instance())
        return {};
    qtTexts = new QTranslator(QCoreApplication::instance());
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!qtTexts->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        delete qtTexts;
        qtTexts = nullptr;
        return QStringLiteral(
                   "Qt's own translation for %1 is not installed in %2 (package qt6-translations-l10n)")
            .arg(locale.name(), folder);
    }
    QCoreApplication::installTranslator(qtTexts);
    return {};
}

} // namespace erphost
