// Printing the reminder letters: the data sets built from the marked rows, a report object of
// the host's report service configured with the report file and the screen's connection, and
// the report's parameters filled from the screen's fields while the service prepares it.
#include "reminders/FRMPD_KVB_STSOLL.h"

#include "module/contract/Cinterface.h"
#include "module/db/Recordset.h"
#include "module/services/ClassNames.h"
#include "module/services/HostRuntime.h"
#include "module/services/IGlobalContext.h"
#include "module/services/IMessageService.h"
#include "module/services/IObjectFactory.h"
#include "module/sql/SqlText.h"
#include "reminders/ReminderData.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <dlfcn.h>

namespace scadlav {

QString FRMPD_KVB_STSOLL::CartellaModulo() {
    // The folder of the library this code is linked into.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&FRMPD_KVB_STSOLL::CartellaModulo), &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
}

void FRMPD_KVB_STSOLL::creaDati() {
    // crea_recordset: the send copy and the previous data set go first.
    m_copiaInvio.reset();
    m_dati = reminders::creaDatiSolleciti();
    if (m_rows && m_connection)
        reminders::CaricaDatiStampa(*m_rows, *m_dati, *m_connection, m_companyCode);
    if (m_connection)
        m_ditta = reminders::CaricaLogo_manuale(*m_connection, m_companyCode);
}

std::unique_ptr<IReport> FRMPD_KVB_STSOLL::NuovoReport() {
    IObjectFactory* factory = HostRuntime::objectFactory();
    std::unique_ptr<IReport> report = factory ? factory->create<IReport>(classnames::Report) : nullptr;
    if (!report)
        throw RuntimeException({RuntimeError::CannotCreateObject,
                                TraduzioneTesto(QStringLiteral("Servizio di stampa non disponibile"), 91000),
                                ScreenName});
    report->setEvents(this);
    report->setGlobalContext(global());
    return report;
}

void FRMPD_KVB_STSOLL::CreaReport() {
    m_report = NuovoReport();
}

void FRMPD_KVB_STSOLL::ConfiguraReport(IReport& report, bool withFlags) {
    IGlobalContext* context = global();
    report.setModuleIdentity(QStringLiteral("PDUO_KVB_SCADLAV.CLSPD_KVB_SCADLAV"));
    if (withFlags)
        report.setFlags(true, true);
    report.setConnection(m_connection.get());
    report.setTitle(TraduzioneTesto(QStringLiteral("Stampa solleciti"), 54883));
    report.setReportFile(ReportFile);
    report.setReportFolder(CartellaModulo());
    report.setSettings(0, 1);
    report.setConnectionInfo(context ? context->connectionInfo() : ConnectionInfo{});
    report.setData(m_dati.get());
    report.setContextValue(context ? context->reportValue() : Value());
}

void FRMPD_KVB_STSOLL::CMD_STAMPA_Click() {
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Stato(TraduzioneTesto(QStringLiteral("Stampa in corso ....."), 78553));
        creaDati();
        if (m_report)
            RilasciaReport();
        CreaReport();
        if (m_dati->recordCount() <= 0) {
            QApplication::restoreOverrideCursor();
            Stato(TraduzioneTesto(QStringLiteral("Pronto"), 45817));
            Messaggio(QStringLiteral("Non ci sono solleciti da stampare"), 39765, msgbox::Information);
        } else {
            m_dati->moveFirst();
            ConfiguraReport(*m_report, true);
            QApplication::restoreOverrideCursor();
            Stato(TraduzioneTesto(QStringLiteral("Pronto"), 45817));
            m_report->run();
            if (m_report)
                ScriviStorico(m_report->lastOutcome(), 0);
            if (m_report && m_report->status() != 0)
                RilasciaReport();
            AggiornaStorico();
        }
        TornaASelezione();
    } catch (...) {
        MostraErrore(QStringLiteral("CMD_STAMPA_Click"));
    }
}

void FRMPD_KVB_STSOLL::MostraErrore(const QString& routine) {
    // The pointer back to normal, the error logged and shown: the marks stay for another try.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    const RuntimeError error = RuntimeError::fromException(std::current_exception());
    ScriviErroreLog(routine, error);
    Messaggio(error.description, 0, msgbox::Critical);
}

void FRMPD_KVB_STSOLL::RilasciaReport() {
    m_printerMedia.clear();
    m_printerMediaKept = false;
    if (!m_report)
        return;
    m_report->setGlobalContext(nullptr);
    m_report->setConnection(nullptr);
    m_report->setGroupSend(0);
    m_report->setData(nullptr);
    m_report->setContextValue(Value(0));
    m_report->setEvents(nullptr);
    m_report.reset();
}

void FRMPD_KVB_STSOLL::beforePrintReport(bool& cancel, IReportDocument& report) {
    cancel = false;
    const auto [iniz, iniz2] = reminders::dividiTesto(m_ui->TXT_TESTO_INIZ->toPlainText());
    const auto [fin, fin2] = reminders::dividiTesto(m_ui->TXT_TESTO_FIN->toPlainText());
    for (const QString& name : report.parameterFieldNames()) {
        if (name == QLatin1String("TIPOLOGO"))
            report.setParameterValue(name, Value(QString::number(m_ui->CMB_TIPOLOGO->currentData().toInt())));
        else if (name == QLatin1String("TESTO_INIZ"))
            report.setParameterValue(name, Value(iniz));
        else if (name == QLatin1String("TESTO_INIZ_2"))
            report.setParameterValue(name, Value(iniz2));
        else if (name == QLatin1String("TESTO_FIN"))
            report.setParameterValue(name, Value(fin));
        else if (name == QLatin1String("TESTO_FIN_2"))
            report.setParameterValue(name, Value(fin2));
        else if (name == QLatin1String("TITOLO"))
            report.setParameterValue(name, Value(RTrimN(Value(m_ui->TXT_TITOLO->text()))));
    }
    if (IReportDocument* logo = report.subreport(QStringLiteral("LOGO_MAN")))
        logo->setData(m_ditta.get());
}

void FRMPD_KVB_STSOLL::reportPageHeaderFormat(IReportDocument&) {
    // The logo choice reaches the report through "TIPOLOGO" alone: no picture is replaced here,
    // so the report keeps its own pictures.
}

} // namespace scadlav
