#pragma once
// The reminder history: every phase reminded by a print, fax or mail is written to
// PD5E_STORICOSOLL with the channel, the recipient, the time, the user and the outcome; the
// reminder grid shows for each row its last reminder sent and how many were sent, so that the
// planner does not chase the same phase twice in a day.

#include "module/services/IReport.h"
#include "platform/controls/GridColumn.h"

#include <QDateTime>
#include <QHash>
#include <QIdentityProxyModel>
#include <QList>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>

namespace scadlav::db {
class Connection;
class Recordset;
} // namespace scadlav::db

namespace scadlav::reminders {

// Outcome codes of PD5E_ESITO.
inline constexpr int kEsitoInviato = 1;
inline constexpr int kEsitoSaltato = 2;
inline constexpr int kEsitoFallito = 3;

// One row per marked row of `rows` (walked through a cursor of its own, under the rows' filter)
// that `include` accepts. Returns the database's error text, empty when every row was written.
QString ScriviStorico(db::Connection& connection, std::int16_t company, std::int16_t user,
                      const db::Recordset& rows, const std::function<bool(const db::Recordset&)>& include,
                      const ReportOutcome& outcome);

// The reminders sent for one phase: how many, the last one and its channel.
struct StoricoFase {
    int count = 0;
    QDateTime last;
    QString channel;
};

// The channels of the history ("print", "pdf", "fax", "mail") with their names in the session's
// language, for the grids that show them.
QList<erpctl::ListItem> nomiCanali(const std::function<QString(const QString&, int)>& translate);

// The phase's key in the history: company, order registration, line and sequence.
QString chiaveFase(const Value& company, const Value& numreg, const Value& line, const Value& sequence);

// The reminders sent of the company's phases, by chiaveFase. Returns false with the error.
bool LeggiStorico(db::Connection& connection, std::int16_t company, QHash<QString, StoricoFase>& storico,
                  QString* error);

// The reminder rows with two columns more, "ULTIMO_SOLLECITO" (date and channel of the last
// reminder sent) and "N_SOLLECITI", read from the history.
class StoricoModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    static inline const QString UltimoField = QStringLiteral("ULTIMO_SOLLECITO");
    static inline const QString NumeroField = QStringLiteral("N_SOLLECITI");

    explicit StoricoModel(QObject* parent = nullptr) : QIdentityProxyModel(parent) {}
    void setStorico(QHash<QString, StoricoFase> storico);
    // The last reminder's date is written as `locale` writes dates, its channel by name.
    void setPresentation(const QLocale& locale, const QList<erpctl::ListItem>& channels);

    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    int sourceColumns() const;
    const StoricoFase* faseDi(int row) const;
    int sourceColumn(const QString& field) const;

    QHash<QString, StoricoFase> m_storico;
    QLocale m_locale;
    QHash<QString, QString> m_channels;
};

} // namespace scadlav::reminders
