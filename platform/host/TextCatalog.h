#pragma once

#include "module/value/Value.h"
#include "platform/host/HostSettings.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace erphost {

// The host's text store: for each text ID its Italian text and its English translation.
// The file is tab-separated, one text per line: ID, Italian, English; "\n" stands for a line
// break, "%1".."%9" for the parameters; lines starting with '#' are comments.
class TextCatalog {
public:
    // The catalog compiled into the host.
    static TextCatalog builtIn();
    // The same, read once for the whole process: for the host's own texts outside a session
    // (command-line problems, the batch jobs' lines).
    static const TextCatalog& shared();
    // Reads a catalog file; the problems found (line by line) go to `problems`.
    static TextCatalog fromFile(const QString& path, QStringList* problems = nullptr);
    static TextCatalog fromText(const QString& text, QStringList* problems = nullptr);

    bool contains(int id) const { return m_entries.contains(id); }
    // The raw text of an ID in a language; empty when absent.
    QString rawText(int id, Language language) const;
    QList<int> ids() const;

    // The text of `id` in `language` with the parameters substituted. An ID the catalog does
    // not hold gives "[x<ID>x] <ID>", so the user still sees which text is missing.
    QString text(int id, Language language, const QList<scadlav::Value>& parameters = {}) const;

    // Replaces %1..%9 by the text of the matching parameter; placeholders without a
    // parameter stay as they are.
    static QString substitute(const QString& text, const QList<scadlav::Value>& parameters);

private:
    struct Entry {
        QString italian;
        QString english;
    };
    QHash<int, Entry> m_entries;
};

// The text of `id` from the shared built-in catalog.
QString hostText(int id, Language language, const QList<scadlav::Value>& parameters = {});

} // namespace erphost
