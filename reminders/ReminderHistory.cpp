#include "reminders/ReminderHistory.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/sql/SqlText.h"
#include "platform/controls/DateText.h"

namespace scadlav::reminders {

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString number(const Value& v) {
    return v.isEmptyOrNull() ? QStringLiteral("NULL") : v.toText();
}

int esito(ReportOutcome::Kind kind) {
    switch (kind) {
    case ReportOutcome::Kind::Sent:
        return kEsitoInviato;
    case ReportOutcome::Kind::Skipped:
        return kEsitoSaltato;
    default:
        return kEsitoFallito;
    }
}

} // namespace

QList<erpctl::ListItem> nomiCanali(const std::function<QString(const QString&, int)>& translate) {
    return {{QStringLiteral("print"), translate(QStringLiteral("Stampa"), 91850)},
            {QStringLiteral("pdf"), translate(QStringLiteral("PDF"), 91851)},
            {QStringLiteral("fax"), translate(QStringLiteral("Fax"), 91852)},
            {QStringLiteral("mail"), translate(QStringLiteral("E-mail"), 91853)}};
}

QString chiaveFase(const Value& company, const Value& numreg, const Value& line, const Value& sequence) {
    const auto whole = [](const Value& v) { return QString::number(v.toInt64().value_or(0)); };
    return whole(company) + QLatin1Char('|') + RTrimN(numreg).toUpper() + QLatin1Char('|') + whole(line) +
           QLatin1Char('|') + whole(sequence);
}

QString ScriviStorico(db::Connection& connection, std::int16_t company, std::int16_t user,
                      const db::Recordset& rows, const std::function<bool(const db::Recordset&)>& include,
                      const ReportOutcome& outcome) {
    if (outcome.kind == ReportOutcome::Kind::None)
        return QString();
    std::unique_ptr<db::Recordset> cursor = rows.clone();
    if (!cursor || !cursor->setFilter(rows.filter()))
        return rows.lastErrorText();
    for (cursor->moveFirst(); !cursor->eof(); cursor->moveNext()) {
        if (!include(*cursor))
            continue;
        const auto v = [&cursor](const char* field) { return cursor->value(QString::fromLatin1(field)); };
        const QString sql =
            QStringLiteral(
                "INSERT INTO PD5E_STORICOSOLL (PD5E_DITTA_CG18, PD5E_CLIFOR_CG44, PD5E_NUMREG_CO99, "
                "PD5E_PROGRIGA_DO30, PD5E_CODFASE_PD12, PD5E_SEQUENZA, PD5E_CANALE, PD5E_DESTINATARIO, "
                "PD5E_DATAORA, PD5E_ID_FW07, PD5E_ESITO, PD5E_RISPOSTA) VALUES (") +
            QString::number(company) + QStringLiteral(", ") + number(v("PD5C_CLIFOR_CG44")) +
            QStringLiteral(", ") + quoted(RTrimN(v("PD5C_NUMREG_CO99"))) + QStringLiteral(", ") +
            number(v("PD5C_PROGRIGA_DO30")) + QStringLiteral(", ") + number(v("PD5C_CODFASE_PD12")) +
            QStringLiteral(", ") + number(v("PD5C_SEQUENZA")) + QStringLiteral(", ") +
            quoted(outcome.channel) + QStringLiteral(", ") + quoted(outcome.recipient.left(255)) +
            QStringLiteral(", dbo.QRX_GETDATE(), ") + QString::number(user) + QStringLiteral(", ") +
            QString::number(esito(outcome.kind)) + QStringLiteral(", ") +
            (outcome.answer.isEmpty() ? QStringLiteral("NULL") : quoted(outcome.answer.left(500))) +
            QStringLiteral(")");
        if (!connection.execute(sql, db::kCmdTextNoRecords))
            return connection.lastErrorText();
    }
    return QString();
}

bool LeggiStorico(db::Connection& connection, std::int16_t company, QHash<QString, StoricoFase>& storico,
                  QString* error) {
    storico.clear();
    std::unique_ptr<db::Recordset> rs = connection.execute(
        QStringLiteral(
            "SELECT PD5E_DITTA_CG18, PD5E_NUMREG_CO99, PD5E_PROGRIGA_DO30, PD5E_SEQUENZA, PD5E_DATAORA, "
            "PD5E_CANALE FROM PD5E_STORICOSOLL WITH (NOLOCK) WHERE PD5E_DITTA_CG18 = ") +
        QString::number(company) + QStringLiteral(" AND PD5E_ESITO = ") + QString::number(kEsitoInviato) +
        QStringLiteral(" ORDER BY PD5E_DATAORA"));
    if (!rs) {
        if (error)
            *error = connection.lastErrorText();
        return false;
    }
    for (rs->moveFirst(); rs->isOpen() && !rs->eof(); rs->moveNext()) {
        StoricoFase& fase = storico[chiaveFase(rs->value(0), rs->value(1), rs->value(2), rs->value(3))];
        ++fase.count;
        fase.last = rs->value(4).toDateTime().value_or(QDateTime());
        fase.channel = RTrimN(rs->value(5));
    }
    return true;
}

void StoricoModel::setStorico(QHash<QString, StoricoFase> storico) {
    m_storico = std::move(storico);
    if (rowCount() > 0)
        emit dataChanged(index(0, sourceColumns()), index(rowCount() - 1, sourceColumns() + 1));
}

void StoricoModel::setPresentation(const QLocale& locale, const QList<erpctl::ListItem>& channels) {
    m_locale = locale;
    m_channels.clear();
    for (const erpctl::ListItem& item : channels)
        m_channels.insert(item.code.toString(), item.caption);
    if (rowCount() > 0)
        emit dataChanged(index(0, sourceColumns()), index(rowCount() - 1, sourceColumns()));
}

int StoricoModel::sourceColumns() const {
    return sourceModel() ? sourceModel()->columnCount() : 0;
}

int StoricoModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : sourceColumns() + 2;
}

QModelIndex StoricoModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (column >= sourceColumns())
        return createIndex(row, column);
    return QIdentityProxyModel::index(row, column, parent);
}

QModelIndex StoricoModel::sibling(int row, int column, const QModelIndex&) const {
    return index(row, column);
}

QModelIndex StoricoModel::mapToSource(const QModelIndex& proxyIndex) const {
    if (proxyIndex.isValid() && proxyIndex.column() >= sourceColumns())
        return {};
    return QIdentityProxyModel::mapToSource(proxyIndex);
}

int StoricoModel::sourceColumn(const QString& field) const {
    for (int c = 0; c < sourceColumns(); ++c) {
        if (sourceModel()->headerData(c, Qt::Horizontal).toString().compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

const StoricoFase* StoricoModel::faseDi(int row) const {
    const auto value = [this, row](const char* field) {
        const int c = sourceColumn(QString::fromLatin1(field));
        return c < 0 ? Value() : Value(sourceModel()->index(row, c).data(Qt::EditRole).toString());
    };
    const auto it = m_storico.constFind(chiaveFase(value("PD5C_DITTA_CG18"), value("PD5C_NUMREG_CO99"),
                                                   value("PD5C_PROGRIGA_DO30"), value("PD5C_SEQUENZA")));
    return it == m_storico.cend() ? nullptr : &*it;
}

QVariant StoricoModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() < sourceColumns())
        return QIdentityProxyModel::data(index, role);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const StoricoFase* fase = faseDi(index.row());
    if (index.column() == sourceColumns()) {
        if (!fase)
            return QString();
        return m_locale.toString(fase->last.date(), erpctl::localeDateFormat(m_locale)) + QLatin1Char(' ') +
               m_channels.value(fase->channel, fase->channel);
    }
    return fase ? fase->count : 0;
}

QVariant StoricoModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && section >= sourceColumns() && role == Qt::DisplayRole)
        return section == sourceColumns() ? UltimoField : NumeroField;
    return QIdentityProxyModel::headerData(section, orientation, role);
}

Qt::ItemFlags StoricoModel::flags(const QModelIndex& index) const {
    if (index.isValid() && index.column() >= sourceColumns())
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return QIdentityProxyModel::flags(index);
}

} // namespace scadlav::reminders
