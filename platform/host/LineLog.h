#pragma once

#include <QString>
#include <QStringList>

namespace erphost {

// Appends one tab-separated line per record to a text file, creating its folder on the first
// write. Tabs and line breaks inside a field become blanks so a record stays one line.
class LineLog {
public:
    explicit LineLog(QString path) : m_path(std::move(path)) {}
    const QString& path() const { return m_path; }
    // False when the file cannot be written.
    bool append(const QStringList& fields) const;

private:
    QString m_path;
};

} // namespace erphost
