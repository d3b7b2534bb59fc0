#pragma once
// The report definitions of the report service (JSON files of our own, kept readable beside
// the module library) and the painting of the reminder letters they describe: letterhead,
// recipient in the window of a DL envelope, place and date, title, opening text, the table of
// late phases, closing text and page numbers; a new letter on a new page for each supplier.

#include "module/value/Value.h"

#include <QDate>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QLocale>
#include <QString>
#include <functional>
#include <optional>

class QPagedPaintDevice;

namespace scadlav::db {
class Recordset;
}

namespace erphost {

using Record = QHash<QString, scadlav::Value>;

class ReportDefinition {
public:
    // std::nullopt with the reason when the file cannot be read or is no report definition.
    static std::optional<ReportDefinition> load(const QString& path, QString* error);

    QStringList parameterNames() const;
    QStringList subreportNames() const;
    const QJsonObject& json() const { return m_json; }

private:
    QJsonObject m_json;
};

struct LetterInputs {
    QList<Record> rows;
    QHash<QString, scadlav::Value> parameters;
    Record company;
    QLocale locale;
    // The letter's date.
    QDate today;
    // The text of a text ID with its parameters, in the session's language.
    std::function<QString(const QString& italian, int id, const QList<scadlav::Value>& parameters)> translate;
    // Logo pictures by logo type (2 to 5); a type without one prints the company's text.
    QHash<int, QImage> logos;
};

// The rows a record set shows (its filter and sort), read through a cursor of their own.
QList<Record> readRecords(const scadlav::db::Recordset* recordset);

// Paints the letters on `device` (a PDF writer or a printer). Returns the pages painted, or -1
// with the reason when the device could not be painted on.
int paintLetters(QPagedPaintDevice& device, const ReportDefinition& definition, const LetterInputs& inputs,
                 QString* error);

// The letters as a PDF file, written whole or not at all.
bool writeLettersPdf(const QString& path, const ReportDefinition& definition, const LetterInputs& inputs,
                     QString* error);

} // namespace erphost
