#include "schedule/DetailTimeline.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/HostRuntime.h"
#include "module/services/IGlobalContext.h"
#include "module/services/ILayoutService.h"
#include "module/sql/SqlText.h"
#include "module/value/Holidays.h"
#include "platform/controls/Grid.h"
#include "platform/controls/PhaseTimeline.h"
#include "schedule/FRMPD_KVB_SCADLAV.h"
#include "schedule/OrderDetail.h"
#include "schedule/ScheduleControls.h"
#include "schedule/ScreenSession.h"

#include <QAction>
#include <QEvent>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSplitter>
#include <QTimer>

namespace scadlav {

namespace {

// Phase state "Saldata": the phase is closed.
constexpr std::int64_t kClosedPhase = 3;

QDate dayOf(const Value& value) {
    const std::optional<QDateTime> read = value.isNull() ? std::nullopt : value.toDateTime();
    return read ? read->date() : QDate();
}

ILayoutService* layoutService(ScreenSession& session) {
    IGlobalContext* global = session.module() ? session.module()->Cinterface_ClsGlobal() : nullptr;
    return global ? global->layoutService() : nullptr;
}

} // namespace

DetailTimeline::DetailTimeline(FRMPD_KVB_SCADLAV& screen) : m_screen(screen) {}

DetailTimeline::~DetailTimeline() {
    // The chart outlives this object (the screen's widgets go last): it must not call back.
    if (erpctl::PhaseTimeline* timeline = ui().TIMELINE_DETT)
        timeline->setNonWorkingDay({});
}

ScheduleControls& DetailTimeline::ui() const {
    return m_screen.controls();
}

ScreenSession& DetailTimeline::session() const {
    return m_screen.session();
}

void DetailTimeline::connectControls() {
    erpctl::Grid* grid = ui().GRID_DETT;
    erpctl::PhaseTimeline* timeline = ui().TIMELINE_DETT;

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(0);
    connect(m_refresh, &QTimer::timeout, this, [this] { Aggiorna(); });

    // The grid's table follows the detail record set: a line opened or re-read, a date typed.
    QAbstractItemModel* rows = grid->model();
    connect(rows, &QAbstractItemModel::modelReset, this, [this] { scheduleRefresh(); });
    connect(rows, &QAbstractItemModel::layoutChanged, this, [this] { scheduleRefresh(); });
    connect(rows, &QAbstractItemModel::rowsInserted, this, [this] { scheduleRefresh(); });
    connect(rows, &QAbstractItemModel::rowsRemoved, this, [this] { scheduleRefresh(); });
    connect(rows, &QAbstractItemModel::dataChanged, this, [this] { scheduleRefresh(); });
    connect(grid, &erpctl::Grid::rowChanged, timeline,
            [timeline](int row, int) { timeline->setCurrentBar(row); });
    connect(timeline, &erpctl::PhaseTimeline::barClicked, grid,
            [grid](int row) { grid->setCurrentRow(row); });
    grid->installEventFilter(this);

    timeline->setNonWorkingDay([this](const QDate& day) { return isNonWorkingDay(day); });

    m_toggle = new QAction(QStringLiteral("Diagramma fasi"), grid);
    m_toggle->setObjectName(QStringLiteral("ACT_DIAGRAMMA"));
    m_toggle->setCheckable(true);
    m_toggle->setChecked(m_shown);
    connect(m_toggle, &QAction::toggled, this, [this](bool checked) { setShown(checked); });
    grid->addAction(m_toggle);
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    timeline->addAction(m_toggle);
    timeline->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(ui().DETT_AREA, &QSplitter::splitterMoved, this, [this] { SalvaLayout(); });
}

void DetailTimeline::ImpostaDiagramma() {
    ScreenSession& s = session();
    m_toggle->setText(s.TraduzioneTesto(QStringLiteral("Diagramma fasi"), 90850));
    erpctl::TimelineLegend legend;
    legend.internal = s.TraduzioneTesto(QStringLiteral("Fase interna"), 90851);
    legend.subcontracted = s.TraduzioneTesto(QStringLiteral("Fase esterna"), 90852);
    legend.closed = s.TraduzioneTesto(QStringLiteral("Saldata"), 50104);
    legend.late = s.TraduzioneTesto(QStringLiteral("In ritardo"), 90853);
    legend.typed = s.TraduzioneTesto(QStringLiteral("Nuova data da ricalcolare"), 90854);
    legend.today = s.TraduzioneTesto(QStringLiteral("Oggi"), 90855);
    legend.nonWorking = s.TraduzioneTesto(QStringLiteral("Giorno non lavorativo"), 90856);
    ui().TIMELINE_DETT->setLegend(legend);

    // The closures of another company (or of a database restored since) are read again.
    m_closures.reset();
    bool shown = true;
    if (ILayoutService* layouts = layoutService(s)) {
        if (const std::optional<QByteArray> saved = layouts->restoreLayout(s.userId(), LayoutKey)) {
            const QJsonObject layout = QJsonDocument::fromJson(*saved).object();
            shown = layout.value(QStringLiteral("visible")).toBool(true);
            const QByteArray widths =
                QByteArray::fromBase64(layout.value(QStringLiteral("widths")).toString().toLatin1());
            if (!widths.isEmpty())
                ui().DETT_AREA->restoreState(widths);
        }
    }
    m_shown = shown;
    const QSignalBlocker quiet(m_toggle);
    m_toggle->setChecked(shown);
    applyVisibility();
}

void DetailTimeline::setShown(bool shown) {
    if (m_toggle->isChecked() != shown) {
        m_toggle->setChecked(shown); // comes back here through toggled()
        return;
    }
    m_shown = shown;
    applyVisibility();
    SalvaLayout();
}

void DetailTimeline::SalvaLayout() {
    // Shown or hidden, and the widths of grid and timeline, as a small JSON text.
    if (ILayoutService* layouts = layoutService(session())) {
        const QJsonObject layout{
            {QStringLiteral("visible"), m_shown},
            {QStringLiteral("widths"), QString::fromLatin1(ui().DETT_AREA->saveState().toBase64())}};
        layouts->storeLayout(session().userId(), LayoutKey,
                             QJsonDocument(layout).toJson(QJsonDocument::Compact));
    }
}

void DetailTimeline::applyVisibility() {
    ui().TIMELINE_DETT->setVisible(m_shown);
    if (m_shown)
        Aggiorna();
}

void DetailTimeline::scheduleRefresh() {
    if (m_refresh && !m_refresh->isActive())
        m_refresh->start();
}

void DetailTimeline::Aggiorna() {
    if (m_refresh)
        m_refresh->stop();
    erpctl::PhaseTimeline* timeline = ui().TIMELINE_DETT;
    const QDate today = HostRuntime::now().date();
    timeline->setToday(today);
    const db::Recordset* detail = m_screen.detail().detailRecordset();
    // Nothing to read while the timeline is hidden: showing it reads again.
    if (!m_shown || !detail || !detail->isOpen()) {
        timeline->setBars({});
        return;
    }
    timeline->setBars(barsOf(*detail, today));
    timeline->setCurrentBar(ui().GRID_DETT->currentRow());
}

QList<erpctl::TimelineBar> DetailTimeline::barsOf(const db::Recordset& detail, const QDate& today) {
    const auto field = [&detail](const char* name) { return detail.fieldIndex(QString::fromLatin1(name)); };
    const int sequence = field("DO46_CODSEQFASE");
    const int subPhase = field("DO46_PROGSFASE");
    const int description = field("PD12_DESCR");
    const int kind = field("FASE_IE");
    const int state = field("DO46_INDSTATOORD");
    const int start = field("DO46_DATAINIZIO");
    const int end = field("DO46_DATAFINE");
    const int typedStart = field("DATA_INI");
    const int typedEnd = field("DATA_FINE");
    QList<erpctl::TimelineBar> bars;
    for (int row = 0; row < detail.recordCount(); ++row) {
        erpctl::TimelineBar bar;
        const QString number = NVL(detail.valueAt(row, sequence), Value(0)).toText() + QLatin1Char('/') +
                               NVL(detail.valueAt(row, subPhase), Value(0)).toText();
        bar.label = number + QLatin1Char(' ') + RTrimN(detail.valueAt(row, description));
        bar.subcontracted = RTrimN(detail.valueAt(row, kind)) == QLatin1String("E");
        bar.closed = detail.valueAt(row, state).toInt64() == kClosedPhase;
        bar.start = dayOf(detail.valueAt(row, start));
        bar.end = dayOf(detail.valueAt(row, end));
        bar.typedStart = dayOf(detail.valueAt(row, typedStart));
        bar.typedEnd = dayOf(detail.valueAt(row, typedEnd));
        const QDate lastDay = bar.end.isValid() ? bar.end : bar.start;
        bar.late = !bar.closed && lastDay.isValid() && lastDay < today;
        bars.append(bar);
    }
    return bars;
}

bool DetailTimeline::isNonWorkingDay(const QDate& day) {
    return isWeekendOrHoliday(day) || closures().contains(day);
}

const QSet<QDate>& DetailTimeline::closures() {
    if (m_closures)
        return *m_closures;
    m_closures.emplace();
    db::Connection* connection = session().connection();
    if (!connection || !connection->isOpen())
        return *m_closures;
    // A database without the closure table shows weekends and holidays only.
    const std::unique_ptr<db::Recordset> rs =
        connection->execute(QStringLiteral("SELECT PDCA_DATA FROM PDCA_CALENDARIO WHERE PDCA_DITTA_CG18 = %1")
                                .arg(session().companyCode()));
    if (!rs || !rs->isOpen())
        return *m_closures;
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        const QDate day = dayOf(rs->value(0));
        if (day.isValid())
            m_closures->insert(day);
    }
    return *m_closures;
}

bool DetailTimeline::eventFilter(QObject* watched, QEvent* event) {
    // The detail area is shown and hidden with the detail grid, so that a closed detail leaves
    // the schedule grid the whole height.
    if (watched == ui().GRID_DETT) {
        if (event->type() == QEvent::ShowToParent)
            ui().DETT_AREA->show();
        else if (event->type() == QEvent::HideToParent)
            ui().DETT_AREA->hide();
    }
    return QObject::eventFilter(watched, event);
}

void DetailTimeline::release() {
    if (m_refresh)
        m_refresh->stop();
    ui().GRID_DETT->removeEventFilter(this);
    ui().TIMELINE_DETT->setBars({});
    m_closures.reset();
}

} // namespace scadlav
