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

QString quotedColumnName(const FieldInfo& f) {
    return sqlIdentifier(f.baseColumn.isEmpty() ? f.name : f.baseColumn);
}

} // namespace

WritePlan::WritePlan(const RowStore& store) : m_store(&store) {
    m_names.reserve(static_cast<std::size_t>(store.columnCount()));
    for (int c = 0; c < store.columnCount(); ++c)
        m_names.push_back(quotedColumnName(store.field(c)));
}

const WritePlan::Locator& WritePlan::locator(const QString& table) const {
    for (const auto& [name, locator] : m_locators)
        if (name.compare(table, Qt::CaseInsensitive) == 0)
            return locator;
    const RowStore& store = *m_store;
    const auto locating = [&](const FieldInfo& f) {
        return f.baseTable.compare(table, Qt::CaseInsensitive) == 0 && usableToLocate(f.type);
    };
    Locator out;
    for (int c = 0; c < store.columnCount() && !out.keyed; ++c)
        out.keyed = store.field(c).inPrimaryKey && locating(store.field(c));
    QSet<QString> seen;
    for (int c = 0; c < store.columnCount(); ++c) {
        const FieldInfo& f = store.field(c);
        if (!locating(f) || (out.keyed && !f.inPrimaryKey))
            continue;
        const QString name = (f.baseColumn.isEmpty() ? f.name : f.baseColumn).toUpper();
        if (seen.contains(name)) // the same column selected twice
            continue;
        seen.insert(name);
        out.columns.push_back(c);
    }
    m_locators.emplace_back(table, std::move(out));
    return m_locators.back().second;
}

std::vector<WriteStatement> buildUpdates(const WritePlan& plan, std::uint32_t row,
                                         const std::vector<std::pair<int, Value>>& changes, Dialect dialect) {
    const RowStore& store = *plan.store();
    std::vector<WriteStatement> out;
    QStringList tables;
    for (const auto& [column, value] : changes) {
        const QString& table = store.field(column).baseTable;
        if (!table.isEmpty() && !tables.contains(table, Qt::CaseInsensitive))
            tables << table;
    }
    // The values go apart from the text, which is then the same for every row a pass writes
    // back: the database translates it once. A Null is written in (its test is IS NULL).
    const auto put = [&](QString& sql, std::vector<StatementLiteral>& literals, const Value& value,
                         bool unicode, QLatin1StringView before, QLatin1StringView beforeNull) {
        if (std::optional<StatementLiteral> literal = statementLiteral(value, dialect, unicode)) {
            sql += before;
            sql += u'?';
            literals.push_back(std::move(*literal));
        } else {
            sql += beforeNull;
        }
    };
    for (const QString& table : tables) {
        WriteStatement s;
        s.table = table;
        QString sql = QStringLiteral("UPDATE ") + sqlIdentifier(table) + QStringLiteral(" SET ");
        bool first = true;
        for (const auto& [column, value] : changes) {
            const FieldInfo& f = store.field(column);
            if (f.baseTable.compare(table, Qt::CaseInsensitive) != 0)
                continue;
            if (!first)
                sql += QLatin1StringView(", ");
            first = false;
            sql += plan.columnName(column);
            put(sql, s.literals, value, isUnicode(f.type), QLatin1StringView(" = "),
                QLatin1StringView(" = NULL"));
        }
        // The row is located by its table's key when the result carries it (only those
        // conditions are written), otherwise by every original value.
        const WritePlan::Locator& locator = plan.locator(table);
        QString where;
        where.reserve(static_cast<qsizetype>(locator.columns.size()) * 32);
        for (int c : locator.columns) {
            if (!where.isEmpty())
                where += QLatin1StringView(" AND ");
            where += plan.columnName(c);
            put(where, s.countLiterals, store.value(row, c), isUnicode(store.field(c).type),
                QLatin1StringView(" = "), QLatin1StringView(" IS NULL"));
        }
        s.sql = sql + QStringLiteral(" WHERE ") + where;
        s.literals.insert(s.literals.end(), s.countLiterals.begin(), s.countLiterals.end());
        if (!locator.keyed)
            s.countSql = QStringLiteral("SELECT COUNT(*) FROM ") + sqlIdentifier(table) +
                         QStringLiteral(" WHERE ") + where;
        else
            s.countLiterals.clear();
        out.push_back(std::move(s));
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
        names << quotedColumnName(f);
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
