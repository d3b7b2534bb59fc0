#pragma once
// Reading back what a print or a mail left: the text of a PDF (pdftotext) and of a file.

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace scadlav::testing {

// The text of a PDF, pages separated by form feeds, laid out as on the page.
inline QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace scadlav::testing
