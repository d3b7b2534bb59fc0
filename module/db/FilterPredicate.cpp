#include "module/db/FilterPredicate.h"

#include "module/db/DateMillis.h"
#include "module/db/RowStore.h"
#include "module/value/Decimal.h"

namespace scadlav::db {
namespace {

// Reads the filter text left to right; every failure names what was expected and where.
class Parser {
public:
    explicit Parser(const QString& text) : m_text(text) {}

    void skipBlanks() {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }
    bool atEnd() {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    qsizetype position() const { return m_pos + 1; }

    bool fieldName(QString& out) {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == u'[') {
            qsizetype close = m_text.indexOf(u']', m_pos + 1);
            if (close < 0)
                return false;
            out = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return !out.isEmpty();
        }
        qsizetype start = m_pos;
        while (m_pos < m_text.size() && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_'))
            ++m_pos;
        out = m_text.mid(start, m_pos - start);
        return !out.isEmpty() && !out[0].isDigit();
    }

    bool op(QString& out) {
        skipBlanks();
        static const char* const ops[] = {"<>", "<=", ">=", "=", "<", ">"};
        for (const char* o : ops) {
            const QString candidate = QString::fromLatin1(o);
            if (QStringView(m_text).mid(m_pos).startsWith(candidate)) {
                out = candidate;
                m_pos += candidate.size();
                return true;
            }
        }
        return false;
    }

    // A quoted text (quoted = true) or a number; false when neither is there.
    bool literal(QString& out, bool& quoted) {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == u'\'') {
            quoted = true;
            out.clear();
            ++m_pos;
            while (m_pos < m_text.size()) {
                if (m_text[m_pos] == u'\'') {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == u'\'') {
                        out += u'\'';
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    return true;
                }
                out += m_text[m_pos++];
            }
            return false; // unterminated
        }
        quoted = false;
        qsizetype start = m_pos;
        if (m_pos < m_text.size() && (m_text[m_pos] == u'-' || m_text[m_pos] == u'+'))
            ++m_pos;
        bool digits = false, point = false;
        while (m_pos < m_text.size()) {
            QChar c = m_text[m_pos];
            if (c >= u'0' && c <= u'9')
                digits = true;
            else if (c == u'.' && !point)
                point = true;
            else
                break;
            ++m_pos;
        }
        out = m_text.mid(start, m_pos - start);
        // A number must end at a blank or the end: "12abc" is no number.
        if (m_pos < m_text.size() && !m_text[m_pos].isSpace())
            return false;
        return digits;
    }

    bool keywordAnd() {
        skipBlanks();
        if (QStringView(m_text).mid(m_pos, 3).compare(u"AND", Qt::CaseInsensitive) == 0 &&
            (m_pos + 3 >= m_text.size() || m_text[m_pos + 3].isSpace())) {
            m_pos += 3;
            return true;
        }
        return false;
    }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
};

} // namespace

std::shared_ptr<FilterPredicate> FilterPredicate::parse(const QString& text, const RowStore& store,
                                                        QString* error) {
    auto fail = [&](const QString& why) -> std::shared_ptr<FilterPredicate> {
        if (error)
            *error = QStringLiteral("Filter \"%1\" is not valid: %2.").arg(text, why);
        return nullptr;
    };
    auto predicate = std::make_shared<FilterPredicate>();
    Parser p(text);
    if (p.atEnd())
        return fail(QStringLiteral("it is empty"));
    do {
        QString name, op, literal;
        bool quoted = false;
        if (!p.fieldName(name))
            return fail(QStringLiteral("a field name is expected at position %1").arg(p.position()));
        const int column = store.fieldIndex(name);
        if (column < 0)
            return fail(QStringLiteral("there is no field %1").arg(name));
        if (!p.op(op))
            return fail(QStringLiteral("a comparison (=, <>, <, >, <=, >=) is expected at position %1")
                            .arg(p.position()));
        if (!p.literal(literal, quoted))
            return fail(
                QStringLiteral("a number or a quoted text is expected at position %1").arg(p.position()));

        Term term;
        term.column = column;
        term.op = op == u"="    ? Op::Eq
                  : op == u"<>" ? Op::Ne
                  : op == u"<"  ? Op::Lt
                  : op == u">"  ? Op::Gt
                  : op == u"<=" ? Op::Le
                                : Op::Ge;
        const StorageClass cls = store.storageClass(column);
        const QString& field = store.field(column).name;
        auto asNumber = [&]() -> bool {
            auto d = Decimal::fromString(literal);
            if (!d)
                return false;
            term.literal.kind = CellKind::Decimal;
            term.literal.i = d->units();
            term.literal.scale = static_cast<std::uint8_t>(d->scale());
            return true;
        };
        switch (cls) {
        case StorageClass::Int:
        case StorageClass::Double:
        case StorageClass::Decimal:
        case StorageClass::Bool:
            if (!asNumber())
                return fail(QStringLiteral("field %1 holds numbers, not '%2'").arg(field, literal));
            break;
        case StorageClass::DateTime: {
            const QByteArray utf8 = literal.toUtf8();
            auto ms = quoted ? millisFromText(std::string_view(utf8.constData(), utf8.size())) : std::nullopt;
            if (!ms)
                return fail(QStringLiteral("field %1 holds dates, not %2").arg(field, literal));
            term.literal.kind = CellKind::DateTime;
            term.literal.i = *ms;
            break;
        }
        case StorageClass::Text:
        case StorageClass::Binary:
            if (!quoted)
                return fail(QStringLiteral("field %1 holds text: write '%2' in quotes").arg(field, literal));
            term.literal.kind = cls == StorageClass::Text ? CellKind::Text : CellKind::Binary;
            term.storage = literal.toStdString();
            break;
        case StorageClass::Any:
            if (quoted) {
                term.literal.kind = CellKind::Text;
                term.storage = literal.toStdString();
            } else if (!asNumber()) {
                return fail(QStringLiteral("'%1' is no number").arg(literal));
            }
            break;
        }
        predicate->m_terms.push_back(std::move(term));
        if (p.atEnd())
            break;
        if (!p.keywordAnd())
            return fail(QStringLiteral("AND or the end is expected at position %1").arg(p.position()));
    } while (true);
    // The terms no longer move: point text literals at their own storage.
    for (Term& t : predicate->m_terms)
        if (t.literal.kind == CellKind::Text || t.literal.kind == CellKind::Binary)
            t.literal.text = t.storage;
    return predicate;
}

bool FilterPredicate::matches(const RowStore& store, std::uint32_t row) const {
    for (const Term& t : m_terms) {
        const CellRef cell = store.cell(row, t.column);
        if (cell.isNull() || !comparable(cell, t.literal))
            return false;
        const int r = compareCells(cell, t.literal);
        bool ok = false;
        switch (t.op) {
        case Op::Eq:
            ok = r == 0;
            break;
        case Op::Ne:
            ok = r != 0;
            break;
        case Op::Lt:
            ok = r < 0;
            break;
        case Op::Gt:
            ok = r > 0;
            break;
        case Op::Le:
            ok = r <= 0;
            break;
        case Op::Ge:
            ok = r >= 0;
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

} // namespace scadlav::db
