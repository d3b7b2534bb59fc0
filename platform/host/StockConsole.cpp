#include "platform/host/StockConsole.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/SqlLiteral.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IErrorLog.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"
#include "module/services/RuntimeError.h"
#include "platform/controls/NumberPicture.h"

#include <QApplication>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace erphost {

namespace {

using scadlav::Decimal;
using scadlav::RuntimeError;
using scadlav::RuntimeException;
using scadlav::Value;

const QString kSource = QStringLiteral("ERPHOST.StockConsole");
const QString kQuantity = QStringLiteral("###,###,###,##0.00");

Decimal decimalOf(const Value& value) {
    return value.isEmptyOrNull() ? Decimal() : value.toDecimal().value_or(Decimal());
}

} // namespace

StockConsole::StockConsole(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("StockConsole"));
    setWindowTitle(QStringLiteral("Situazione giacenze"));
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("LBL_ARTICOLO"));
    m_heading->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("LBL_AVVISO"));
    m_notice->setWordWrap(true);
    m_notice->hide();
    TABELLA = new QTableWidget(0, 6, this);
    TABELLA->setObjectName(QStringLiteral("TABELLA"));
    TABELLA->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TABELLA->verticalHeader()->hide();
    CMD_AGGIORNA = new QPushButton(QStringLiteral("&Aggiorna"), this);
    CMD_AGGIORNA->setObjectName(QStringLiteral("CMD_AGGIORNA"));
    CMD_AGGIORNA->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CMD_AGGIORNA);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(TABELLA, 1);
    layout->addWidget(m_notice);
    layout->addLayout(buttons);

    connect(CMD_AGGIORNA, &QPushButton::clicked, this, [this] { refresh(); });
}

StockConsole::~StockConsole() = default;

void StockConsole::setModule(scadlav::Cinterface* module) {
    m_module = module;
}

void StockConsole::configure(int visibleRows, int quantityWidthTwips, bool showTotals) {
    m_visibleRows = std::max(1, visibleRows);
    m_quantityWidthTwips = std::max(0, quantityWidthTwips);
    m_showTotals = showTotals;
}

QString StockConsole::text(const QString& italian, int id, const QList<Value>& parameters) const {
    if (m_messages)
        return m_messages->textById(id, parameters);
    QString out = italian;
    for (int i = 0; i < parameters.size(); ++i)
        out.replace(QStringLiteral("%") + QString::number(i + 1), parameters[i].toText());
    return out;
}

void StockConsole::inquire(const QString& article, const QString& option) {
    scadlav::IGlobalContext* global = m_module ? m_module->Cinterface_ClsGlobal() : nullptr;
    if (!global)
        throw RuntimeException({RuntimeError::ObjectNotSet,
                                QStringLiteral("La console giacenze non ha il contesto del modulo"),
                                kSource,
                                {}});
    // What the next refresh needs once the module has taken itself back.
    m_connectionString = global->connectionString();
    m_company = global->companyCode();
    m_messages = global->messageService();
    m_article = article;
    m_option = option;
    read();
    showLines();
    CMD_AGGIORNA->setEnabled(true);
}

std::unique_ptr<scadlav::db::Connection> StockConsole::openConnection() const {
    auto connection = std::make_unique<scadlav::db::Connection>();
    connection->setIsolationLevel(scadlav::db::IsolationLevel::ReadUncommitted);
    if (!connection->open(m_connectionString))
        throw RuntimeException({RuntimeError::ApplicationDefined, connection->lastErrorText(), kSource, {}});
    return connection;
}

void StockConsole::read() {
    std::unique_ptr<scadlav::db::Connection> connection = openConnection();
    const scadlav::db::Dialect dialect = connection->dialect();
    const QString company = QString::number(m_company);
    const QString article = scadlav::db::sqlLiteral(Value(m_article), dialect);
    const QString option = scadlav::db::sqlLiteral(Value(m_option), dialect);
    auto query = [&connection](const QString& sql) {
        std::unique_ptr<scadlav::db::Recordset> rs = connection->execute(sql);
        if (!rs || !rs->isOpen())
            throw RuntimeException(
                {RuntimeError::ApplicationDefined, connection->lastErrorText(), kSource, sql});
        return rs;
    };

    auto master = query(QStringLiteral("SELECT MG66_DESCART, MG66_UM1 FROM MG66_ANAGRART WITH (NOLOCK) "
                                       "WHERE MG66_DITTA_CG18 = %1 AND MG66_CODART = %2")
                            .arg(company, article));
    m_known = !master->eof();
    m_description = m_known ? master->value(0).toText().trimmed() : QString();
    m_unit = m_known ? master->value(1).toText().trimmed() : QString();

    // Every warehouse of the company, in code order, then any other the figures name.
    QList<Line> lines;
    QMap<QString, int> lineOf;
    auto lineFor = [&lines, &lineOf](const QString& code, const QString& description) -> Line& {
        const QString key = code.trimmed().toUpper();
        auto it = lineOf.find(key);
        if (it == lineOf.end()) {
            it = lineOf.insert(key, int(lines.size()));
            lines.append(Line{code.trimmed(), description, {}, {}, {}, {}});
        }
        return lines[*it];
    };
    auto warehouses = query(QStringLiteral("SELECT MG58_CODICE, MG58_DESCR FROM MG58_DEPOSITI WITH (NOLOCK) "
                                           "WHERE MG58_DITTA_CG18 = %1 ORDER BY MG58_CODICE")
                                .arg(company));
    for (; !warehouses->eof(); warehouses->moveNext())
        lineFor(warehouses->value(0).toText(), warehouses->value(1).toText().trimmed());

    // The current stock: progressive type 1, year 0, quantity type 1.
    bool anyFigure = false;
    auto stock =
        query(QStringLiteral("SELECT MG70_CODDEP_MG58, SUM(MG70_QGIACATT) FROM MG70_MAGPROQTA WITH (NOLOCK) "
                             "WHERE MG70_DITTA_CG18 = %1 AND MG70_CODART_MG66 = %2 AND "
                             "MG70_OPZIONE_MG5E = %3 AND MG70_TIPOPROG = 1 AND MG70_ANNO = 0 AND "
                             "MG70_TIPOQTA = 1 GROUP BY MG70_CODDEP_MG58")
                  .arg(company, article, option));
    for (; !stock->eof(); stock->moveNext()) {
        lineFor(stock->value(0).toText(), QString()).onHand = decimalOf(stock->value(1));
        anyFigure = true;
    }

    // What open order lines still have to bring in (supplier and production orders) or take
    // out (customer orders), by the warehouse of the line.
    auto orders = query(
        QStringLiteral(
            "SELECT DO30_CODDEP_MG58, "
            "SUM(CASE WHEN DO11_TIPODOC = 21 THEN 0 ELSE VFW_QTA1RES END) AS ORDINATO, "
            "SUM(CASE WHEN DO11_TIPODOC = 21 THEN VFW_QTA1RES ELSE 0 END) AS IMPEGNATO "
            "FROM DO11_DOCTESTATA WITH (NOLOCK) "
            "INNER JOIN DO30_DOCCORPO WITH (NOLOCK) ON DO30_DITTA_CG18 = DO11_DITTA_CG18 "
            "AND DO30_NUMREG_CO99 = DO11_NUMREG_CO99 "
            "INNER JOIN VFW_SELDOC WITH (NOLOCK) ON VFW_DITTA_CG18 = DO30_DITTA_CG18 "
            "AND VFW_NUMREG_CO99 = DO30_NUMREG_CO99 AND VFW_PROGRIGA_DO30 = DO30_PROGRIGA "
            "WHERE DO11_DITTA_CG18 = %1 AND DO30_CODART_MG66 = %2 AND ISNULL(DO30_OPZIONE_MG5E, '') = %3 "
            "AND VFW_FLGDAEVADERE = 1 AND VFW_FLGEVASO = 0 "
            "AND ((DO11_TIPODOC = 21 AND DO11_STIPODOC = 1) OR (DO11_TIPODOC = 22 AND DO11_STIPODOC = 1) "
            "OR (DO11_TIPODOC = 24 AND DO11_STIPODOC = 20)) "
            "GROUP BY DO30_CODDEP_MG58")
            .arg(company, article, option));
    for (; !orders->eof(); orders->moveNext()) {
        Line& line = lineFor(orders->value(0).toText(), QString());
        line.ordered = decimalOf(orders->value(1));
        line.committed = decimalOf(orders->value(2));
        anyFigure = true;
    }

    Line totals{QString(), QString(), {}, {}, {}, {}};
    for (Line& line : lines) {
        line.available = line.onHand + line.ordered - line.committed;
        totals.onHand = totals.onHand + line.onHand;
        totals.ordered = totals.ordered + line.ordered;
        totals.committed = totals.committed + line.committed;
        totals.available = totals.available + line.available;
    }
    m_lines = lines;
    m_totals = totals;
    m_anyFigure = anyFigure;
}

QString StockConsole::notice() const {
    if (m_article.isEmpty())
        return QString();
    if (!m_known)
        return text(QStringLiteral("L'articolo %1 non è nell'anagrafica della ditta %2."), 91230,
                    {Value(m_article), Value(int(m_company))});
    if (!m_anyFigure)
        return text(QStringLiteral("Nessuna giacenza né ordine aperto per l'articolo %1."), 91229,
                    {Value(m_article)});
    return QString();
}

void StockConsole::showLines() {
    setWindowTitle(text(QStringLiteral("Situazione giacenze"), 52787));
    CMD_AGGIORNA->setText(text(QStringLiteral("&Aggiorna"), 91228));
    QString heading = text(QStringLiteral("Articolo"), 7369) + QStringLiteral(": ") + m_article;
    if (!m_option.isEmpty())
        heading +=
            QStringLiteral("   ") + text(QStringLiteral("Variante"), 60287) + QStringLiteral(": ") + m_option;
    if (!m_description.isEmpty())
        heading += QStringLiteral("   ") + m_description;
    if (!m_unit.isEmpty())
        heading +=
            QStringLiteral("   ") + text(QStringLiteral("U.M."), 91221) + QStringLiteral(": ") + m_unit;
    m_heading->setText(heading);
    const QString shownNotice = notice();
    m_notice->setText(shownNotice);
    m_notice->setVisible(!shownNotice.isEmpty());

    TABELLA->setHorizontalHeaderLabels(
        {text(QStringLiteral("Deposito"), 91222), text(QStringLiteral("Descrizione"), 91223),
         text(QStringLiteral("Giacenza"), 29019), text(QStringLiteral("Ordinato"), 91224),
         text(QStringLiteral("Impegnato"), 91225), text(QStringLiteral("Disponibile"), 91226)});
    const int rows = int(m_lines.size()) + (m_showTotals ? 1 : 0);
    TABELLA->setRowCount(rows);
    const erpctl::NumberPicture quantity(kQuantity);
    auto fill = [this, &quantity](int row, const Line& line, bool bold) {
        const QStringList cells{line.warehouse,
                                line.description,
                                quantity.formatDecimal(line.onHand.toString(), locale()),
                                quantity.formatDecimal(line.ordered.toString(), locale()),
                                quantity.formatDecimal(line.committed.toString(), locale()),
                                quantity.formatDecimal(line.available.toString(), locale())};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (bold) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            TABELLA->setItem(row, c, item);
        }
    };
    for (int row = 0; row < m_lines.size(); ++row)
        fill(row, m_lines[row], false);
    if (m_showTotals) {
        Line totals = m_totals;
        totals.description = text(QStringLiteral("Totale"), 91227);
        fill(rows - 1, totals, true);
    }
    const int pixels = m_quantityWidthTwips * logicalDpiX() / 1440;
    TABELLA->resizeColumnToContents(0);
    TABELLA->resizeColumnToContents(1);
    for (int c = 2; c < 6; ++c)
        TABELLA->setColumnWidth(c, std::max(pixels, TABELLA->horizontalHeader()->sectionSizeHint(c)));
    const int rowHeight = TABELLA->verticalHeader()->defaultSectionSize();
    TABELLA->setMinimumHeight(TABELLA->horizontalHeader()->sizeHint().height() +
                              rowHeight * std::min(m_visibleRows, std::max(rows, 1)) +
                              2 * TABELLA->frameWidth());

    // The window grows to show every column without scrolling across (never beyond the
    // screen); an open window the planner made larger stays as it is.
    int tableWidth = 2 * TABELLA->frameWidth();
    for (int c = 0; c < TABELLA->columnCount(); ++c)
        tableWidth += TABELLA->columnWidth(c);
    if (rows > m_visibleRows)
        tableWidth += TABELLA->verticalScrollBar()->sizeHint().width();
    const QMargins margins = layout()->contentsMargins();
    int wanted = tableWidth + margins.left() + margins.right();
    if (const QScreen* shown = screen())
        wanted = std::min(wanted, shown->availableGeometry().width() * 9 / 10);
    layout()->activate();
    if (isVisible())
        resize(std::max(width(), wanted), std::max(height(), sizeHint().height()));
    else
        resize(wanted, sizeHint().height());
}

void StockConsole::show() {
    // A screen shown modally blocks every other window but its own: the console then becomes
    // a window of that screen, so that the planner can still scroll and refresh it.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != this && !isAncestorOf(modal) && parentWidget() != modal)
        setParent(modal, Qt::Window);
    QWidget::show();
    raise();
    activateWindow();
}

bool StockConsole::refresh() {
    if (m_article.isEmpty())
        return false;
    try {
        read();
        showLines();
        return true;
    } catch (...) {
        const RuntimeError error = RuntimeError::fromException(std::current_exception());
        m_notice->setText(
            text(QStringLiteral("Aggiornamento non riuscito:\n%1"), 91231, {Value(error.description)}));
        m_notice->show();
        if (scadlav::IObjectFactory* factory = scadlav::HostRuntime::objectFactory()) {
            if (auto log = factory->create<scadlav::IErrorLog>(scadlav::classnames::ErrorLog)) {
                log->takeError(error);
                log->writeRecord(scadlav::IErrorLog::DefaultPosition, QStringLiteral("MGUO_KVB_PORTORD"),
                                 QStringLiteral("InvocaConsoleProgressivi"));
            }
        }
        return false;
    }
}

} // namespace erphost
