#include "platform/tsql/BatchSplitter.h"

namespace tsql {

namespace {

bool isSeparator(QStringView line) {
    return line.trimmed().compare(u"GO", Qt::CaseInsensitive) == 0;
}

void appendBatch(QStringList& batches, const QString& batch) {
    if (!batch.trimmed().isEmpty())
        batches.append(batch);
}

} // namespace

QStringList splitBatches(const QString& script) {
    QStringList batches;
    QString current;
    qsizetype start = 0;
    while (start <= script.size()) {
        qsizetype end = script.indexOf(u'\n', start);
        const bool last = end < 0;
        if (last)
            end = script.size();
        const QStringView line = QStringView(script).mid(start, end - start);
        if (isSeparator(line)) {
            appendBatch(batches, current);
            current.clear();
        } else {
            // The line is kept as written, line break included, so that text literals spanning
            // lines reach the server unchanged.
            current += QStringView(script).mid(start, last ? end - start : end + 1 - start);
        }
        if (last)
            break;
        start = end + 1;
    }
    appendBatch(batches, current);
    return batches;
}

} // namespace tsql
