#pragma once
// The host's stock console: a window on one article and option that tells, per warehouse of the
// company, the stock on hand, what is ordered from suppliers and production, what is committed
// to customers and what is left available, with their totals. The module asks it for an article
// and shows it; it stays open beside the module's screens, and the next inquiry reuses it.
// See docs/stock-console.md.

#include "module/services/IStockConsole.h"
#include "module/value/Value.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

class QLabel;
class QPushButton;
class QTableWidget;

namespace scadlav {
class IMessageService;
namespace db {
class Connection;
}
} // namespace scadlav

namespace erphost {

class StockConsole : public QWidget, public scadlav::IStockConsole {
    Q_OBJECT
public:
    // One warehouse of the company, or the totals.
    struct Line {
        QString warehouse;
        QString description;
        scadlav::Decimal onHand;
        scadlav::Decimal ordered;   // open supplier and production order lines
        scadlav::Decimal committed; // open customer order lines
        scadlav::Decimal available; // on hand + ordered - committed
    };

    explicit StockConsole(QWidget* parent = nullptr);
    ~StockConsole() override;

    // The module the console works for while an inquiry is prepared; its global context gives
    // the database, the company and the user's language.
    void setModule(scadlav::Cinterface* module) override;
    // Warehouse rows shown without scrolling, width of the quantity columns in twips, and
    // whether the totals line is shown.
    void configure(int visibleRows, int quantityWidthTwips, bool showTotals) override;
    // Reads the article's figures. Throws scadlav::RuntimeException when no module was given or
    // the database fails; an article with no stock or orders is no error (the window says so).
    void inquire(const QString& article, const QString& option) override;
    // Shows the window without blocking, in front of the others.
    void show() override;
    // Reads the figures of the current article again ("Aggiorna"); false with the reason shown
    // in the window and written to the error log.
    bool refresh();

    const QString& article() const { return m_article; }
    const QString& option() const { return m_option; }
    const QString& articleDescription() const { return m_description; }
    const QString& unit() const { return m_unit; }
    const QList<Line>& lines() const { return m_lines; }
    const Line& totals() const { return m_totals; }
    // What the window tells besides the figures ("" when nothing): unknown article, no rows.
    QString notice() const;

    QTableWidget* TABELLA = nullptr;
    QPushButton* CMD_AGGIORNA = nullptr;

private:
    void read();
    void showLines();
    std::unique_ptr<scadlav::db::Connection> openConnection() const;
    QString text(const QString& italian, int id, const QList<scadlav::Value>& parameters = {}) const;

    scadlav::Cinterface* m_module = nullptr;
    scadlav::IMessageService* m_messages = nullptr;
    QString m_connectionString;
    std::int16_t m_company = 0;
    int m_visibleRows = 10;
    int m_quantityWidthTwips = 1100;
    bool m_showTotals = true;

    QString m_article;
    QString m_option;
    QString m_description;
    QString m_unit;
    bool m_known = false;
    bool m_anyFigure = false;
    QList<Line> m_lines;
    Line m_totals;

    QLabel* m_heading = nullptr;
    QLabel* m_notice = nullptr;
};

} // namespace erphost
