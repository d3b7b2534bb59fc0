#include "module/db/WriteBack.h"

#include "module/db/SqlLiteral.h"

#include <QSet>
#include <QStringList>

namespace scadlav::db {
namespace {

bool isUnicode(DataType t) {
    return t == DataType::WChar || t == DataType::VarWChar || t == DataType::LongVarWChar;
}

// Long and binary values cannot be compared with = on the server, and floating values may not
// come back equal to their own text.
bool usableToLocate(DataType t) {
    return t != DataType::LongVarChar && t != DataType::LongVarWChar && t != DataType::LongVarBinary &&
           t != DataType::Binary && t != DataType::VarBinary && t != DataType::Single &&
           t != DataType::Double;
}

QString columnName(const FieldInfo& f) {
    return sqlIdentifier(f.baseColumn.isEmpty() ? f.name : f.baseColumn);
}

QString condition(const RowStore& store, std::uint32_t row, int column, Dialect dialect) {
    const FieldInfo& f = store.field(column);
    const Value original = store.value(row, column);
    if (original.isNull())
        return columnName(f) + QStringLiteral(" IS NULL");
    return columnName(f) + QStringLiteral(" = ") + sqlLiteral(original, dialect, isUnicode(f.type));
}

} // namespace

std::vector<WriteStatement> buildUpdates(const RowStore& store, std::uint32_t row,
                                         const std::vector<std::pair<int, Value>>& changes, Dialect dialect) {
    std::vector<WriteStatement> out;
    QStringList tables;
    for (const auto& [column, value] : changes) {
        const QString& table = store.field(column).baseTable;
        if (!table.isEmpty() && !tables.contains(table, Qt::CaseInsensitive))
            tables << table;
    }
    for (const QString& table : tables) {
        QStringList sets, keys, all;
        for (const auto& [column, value] : changes) {
            const FieldInfo& f = store.field(column);
            if (f.baseTable.compare(table, Qt::CaseInsensitive) == 0)
                sets << columnName(f) + QStringLiteral(" = ") + sqlLiteral(value, dialect, isUnicode(f.type));
        }
        // The row is located by its table's key when the result carries it (only those
        // conditions are written), otherwise by every original value.
        const auto locating = [&](const FieldInfo& f) {
            return f.baseTable.compare(table, Qt::CaseInsensitive) == 0 && usableToLocate(f.type);
        };
        bool keyed = false;
        for (int c = 0; c < store.columnCount() && !keyed; ++c)
            keyed = store.field(c).inPrimaryKey && locating(store.field(c));
        QSet<QString> seen;
        for (int c = 0; c < store.columnCount(); ++c) {
            const FieldInfo& f = store.field(c);
            if (!locating(f) || (keyed && !f.inPrimaryKey))
                continue;
            const QString name = (f.baseColumn.isEmpty() ? f.name : f.baseColumn).toUpper();
            if (seen.contains(name)) // the same column selected twice
                continue;
            seen.insert(name);
            const QString cond = condition(store, row, c, dialect);
            all << cond;
            if (f.inPrimaryKey)
                keys << cond;
        }
        WriteStatement s;
        s.table = table;
        const QString where = (keys.isEmpty() ? all : keys).join(QStringLiteral(" AND "));
        s.sql = QStringLiteral("UPDATE ") + sqlIdentifier(table) + QStringLiteral(" SET ") +
                sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + where;
        if (keys.isEmpty())
            s.countSql = QStringLiteral("SELECT COUNT(*) FROM ") + sqlIdentifier(table) +
                         QStringLiteral(" WHERE ") + where;
        out.push_back(s);
    }
    return out;
}

std::optional<WriteStatement> buildInsert(const RowStore& store,
                                          const std::vector<std::pair<int, Value>>& values, Dialect dialect,
                                          QString* error) {
    QString table;
    QStringList names, literals;
    for (const auto& [column, value] : values) {
        const FieldInfo& f = store.field(column);
        if (f.baseTable.isEmpty())
            continue;
        if (table.isEmpty()) {
            table = f.baseTable;
        } else if (table.compare(f.baseTable, Qt::CaseInsensitive) != 0) {
            if (error)
                *error = QStringLiteral("A new row cannot be written to two tables (%1 and %2).")
                             .arg(table, f.baseTable);
            return std::nullopt;
        }
        names << columnName(f);
        literals << sqlLiteral(value, dialect, isUnicode(f.type));
    }
    if (table.isEmpty())
        return std::nullopt;
    WriteStatement s;
    s.table = table;
    s.sql = QStringLiteral("INSERT INTO ") + sqlIdentifier(table) + QStringLiteral(" (") +
            names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
            literals.join(QStringLiteral(", ")) + u')';
    return s;
}

} // namespace scadlav::db
