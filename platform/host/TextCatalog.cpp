#include "platform/host/TextCatalog.h"

#include <QFile>
#include <algorithm>

namespace erphost {

namespace {

QString unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text.at(i + 1);
            if (next == QLatin1Char('n')) {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (next == QLatin1Char('t')) {
                out += QLatin1Char('\t');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace

TextCatalog TextCatalog::builtIn() {
    return fromFile(QStringLiteral(":/erp-host/texts.tsv"));
}

const TextCatalog& TextCatalog::shared() {
    static const TextCatalog catalog = builtIn();
    return catalog;
}

QString hostText(int id, Language language, const QList<scadlav::Value>& parameters) {
    return TextCatalog::shared().text(id, language, parameters);
}

TextCatalog TextCatalog::fromFile(const QString& path, QStringList* problems) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (problems)
            *problems << QStringLiteral("text catalog %1 cannot be read").arg(path);
        return {};
    }
    return fromText(QString::fromUtf8(file.readAll()), problems);
}

TextCatalog TextCatalog::fromText(const QString& text, QStringList* problems) {
    TextCatalog catalog;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        bool ok = false;
        const int id = fields.value(0).trimmed().toInt(&ok);
        if (!ok || id < 1 || fields.size() != 3 || fields.at(1).isEmpty() || fields.at(2).isEmpty()) {
            if (problems)
                *problems << QStringLiteral(
                                 "line %1: expected ID, Italian text and English text separated by tabs")
                                 .arg(n + 1);
            continue;
        }
        if (catalog.m_entries.contains(id)) {
            if (problems)
                *problems << QStringLiteral("line %1: text ID %2 appears twice").arg(n + 1).arg(id);
            continue;
        }
        catalog.m_entries.insert(id, Entry{unescape(fields.at(1)), unescape(fields.at(2))});
    }
    return catalog;
}

QString TextCatalog::rawText(int id, Language language) const {
    const auto it = m_entries.constFind(id);
    if (it == m_entries.cend())
        return {};
    return language == Language::English ? it->english : it->italian;
}

QList<int> TextCatalog::ids() const {
    QList<int> result = m_entries.keys();
    std::sort(result.begin(), result.end());
    return result;
}

QString TextCatalog::text(int id, Language language, const QList<scadlav::Value>& parameters) const {
    if (!contains(id))
        return QStringLiteral("[x%1x] %1").arg(id);
    return substitute(rawText(id, language), parameters);
}

QString TextCatalog::substitute(const QString& text, const QList<scadlav::Value>& parameters) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1) >= QLatin1Char('1') &&
            text.at(i + 1) <= QLatin1Char('9')) {
            const int index = text.at(i + 1).unicode() - '1';
            if (index < parameters.size()) {
                out += parameters.at(index).toText();
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace erphost
