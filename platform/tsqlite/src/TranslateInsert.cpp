#include "StatementTranslator.h"

#include <algorithm>

namespace tsqlite::detail {

// INSERT [INTO] t [(columns)] VALUES (...) | SELECT ...: every value passes through the write
// conversion of its target column.
bool StatementTranslator::insert(const std::vector<Token>& tokens) {
    Seq seq;
    if (!tree(tokens, 0, tokens.size(), seq) || !m_rewriter.rewrite(seq))
        return m_error.description.empty() ? rewriteFailed() : false;
    std::size_t i = 1;
    if (i < seq.size() && seq[i].isWord("INTO"))
        ++i;
    if (i >= seq.size() || !isName(seq[i]))
        return failWith(m_error, kErrSyntax, "Incorrect syntax in INSERT: missing the table name");
    const std::string target = nameOf(seq[i++]);
    const auto* tableCols = tableColumns(target);
    if (!tableCols)
        return false;
    std::vector<std::string> names;
    if (i < seq.size() && seq[i].type == Node::Type::Group) {
        for (const auto& item : splitCommas(seq[i].kids)) {
            if (item.size() != 1 || !isName(item[0]))
                return failWith(m_error, kErrSyntax, "Incorrect syntax in the column list of INSERT");
            names.push_back(nameOf(item[0]));
        }
        ++i;
    } else {
        for (const auto& c : *tableCols)
            names.push_back(c.name);
    }
    std::vector<std::string> types;
    for (const auto& n : names)
        types.push_back(typeIn(*tableCols, n));
    std::string head = "INSERT INTO " + quoteName(target) + " (";
    for (std::size_t k = 0; k < names.size(); ++k)
        head += (k ? "," : "") + quoteName(names[k]);
    head += ")";

    if (i < seq.size() && seq[i].isWord("VALUES"))
        return insertValues(seq, i, head, types);
    if (i < seq.size() && seq[i].isWord("SELECT"))
        return insertSelect(seq, i, head, types);
    if (i < seq.size() && (seq[i].isWord("EXEC") || seq[i].isWord("EXECUTE")))
        return failWith(m_error, kErrUnsupported, "INSERT ... EXEC is not supported");
    return failWith(m_error, kErrSyntax, "Incorrect syntax in INSERT: VALUES or SELECT expected");
}

// Each row of VALUES with its values wrapped in the conversions.
bool StatementTranslator::insertValues(const Seq& seq, std::size_t valuesAt, const std::string& head,
                                       const std::vector<std::string>& types) {
    Seq values{wordNode("VALUES")};
    for (std::size_t k = valuesAt + 1; k < seq.size(); ++k) {
        if (seq[k].isComma()) {
            values.push_back(seq[k]);
            continue;
        }
        if (seq[k].type != Node::Type::Group)
            return failWith(m_error, kErrSyntax, "Incorrect syntax in INSERT ... VALUES");
        auto items = splitCommas(seq[k].kids);
        if (items.size() != types.size())
            return failWith(
                m_error, kErrSyntax,
                "There are fewer columns in the INSERT statement than values specified in the VALUES "
                "clause, or the reverse");
        for (std::size_t c = 0; c < items.size(); ++c) {
            if (needsWrite(types[c]))
                items[c] = wrapWrite(std::move(items[c]), types[c]);
        }
        values.push_back(groupNode(joinCommas(items)));
    }
    Emitter e(m_lift);
    e.text(head);
    e.emit(values);
    m_out.parts.push_back(e.take());
    m_out.cacheable = m_lift;
    return true;
}

// INSERT ... SELECT: as written when no column needs a conversion; otherwise the query runs as
// a common table expression whose columns are converted on the way in.
bool StatementTranslator::insertSelect(const Seq& seq, std::size_t selectAt, const std::string& head,
                                       const std::vector<std::string>& types) {
    const Seq source(seq.begin() + static_cast<long>(selectAt), seq.end());
    Emitter e(m_lift);
    if (std::none_of(types.begin(), types.end(), needsWrite)) {
        e.text(head);
        e.emit(source);
    } else {
        const ConvertedColumns converted = convertedColumns(types);
        e.text("WITH tsqlite_src(" + converted.names + ") AS (");
        e.emit(source);
        e.text(") " + head + " SELECT " + converted.values + " FROM tsqlite_src");
    }
    m_out.parts.push_back(e.take());
    m_out.cacheable = m_lift && !m_rewriter.inlinedLiterals();
    return true;
}

} // namespace tsqlite::detail
