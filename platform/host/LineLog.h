#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace erphost {

// Appends one tab-separated line per record to a text file, creating its folder on the first
// write. Tabs and line breaks inside a field become blanks so a record stays one line.
class LineLog {
public:
    // Told of every line that could not be appended: the file and the reason.
    using FailureReporter = std::function<void(const QString& path, const QString& reason)>;

    explicit LineLog(QString path) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }
    // False when the line did not reach the file whole; the reporter is told why.
    bool append(const QStringList& fields) const;

    // The process-wide reporter; without one, failures are printed on standard error.
    static void setFailureReporter(FailureReporter reporter);

private:
    QString m_path;
};

} // namespace erphost
