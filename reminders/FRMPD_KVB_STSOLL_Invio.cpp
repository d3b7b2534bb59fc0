// Faxing and mailing the reminder letters: one send per run of a supplier's records, to the
// recipient the rules choose (a contact of the chosen type, preferred first, or the supplier's
// general registry entry), each send carrying all of that supplier's records.
#include "reminders/FRMPD_KVB_STSOLL.h"

#include "module/contract/Cinterface.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/services/IMessageService.h"
#include "module/services/IStatusBar.h"
#include "module/sql/SqlText.h"
#include "platform/controls/CodeField.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>

namespace scadlav {

namespace {

constexpr int kSourceContacts = 0;

// The value, or the default when it is empty, null or the empty text (no trimming).
Value NVLTesto(const Value& value, const Value& defaultValue) {
    if (value.isEmptyOrNull() || value.toText().isEmpty())
        return defaultValue;
    return value;
}

struct GruppoInvio {
    std::int64_t fornitore = 0;
    QString destinazione;
    std::int64_t contatto = 0;
};

} // namespace

void FRMPD_KVB_STSOLL::CMD_FAX_Click() {
    InviaSolleciti(0, QStringLiteral("CMD_FAX_Click"));
}

void FRMPD_KVB_STSOLL::CMD_MAIL_Click() {
    InviaSolleciti(1, QStringLiteral("CMD_MAIL_Click"));
}

void FRMPD_KVB_STSOLL::InviaSolleciti(std::int32_t sendMode, const QString& routine) {
    try {
        if (RTrimN(Value(m_ui->TXT_TIPOCONTATTO->text())).isEmpty() &&
            m_ui->CMB_FAXMAIL->currentData().toInt() == kSourceContacts) {
            Messaggio(QStringLiteral("Attenzione !! Tipo contatto non definito"), 7788, msgbox::Exclamation);
            return;
        }
        m_chiudiDopoInvio = false;
        Esporta(sendMode);
        if (m_chiudiDopoInvio) {
            // A send that failed on an error closes the screen, once the report objects are done.
            close();
            return;
        }
        TornaASelezione();
    } catch (...) {
        MostraErrore(routine);
    }
}

FRMPD_KVB_STSOLL::Destinatario FRMPD_KVB_STSOLL::ScegliDestinatario(std::int32_t sendMode,
                                                                    const db::Recordset& record) {
    const bool mail = sendMode != 0;
    const Value code = NVL(record.value(QStringLiteral("CG16_CODICE")), Value(0));
    if (m_ui->CMB_FAXMAIL->currentData().toInt() == kSourceContacts) {
        const QString tipo =
            RTrimN(Value(m_ui->TXT_TIPOCONTATTO->text())).replace(QLatin1Char('\''), QStringLiteral("''"));
        m_rsWork = EseguiSQL(
            QStringLiteral(" SELECT CO02_ID, CO02_EMAIL1, CO02_FAX FROM CO03_LEGCONTATTO WITH (NOLOCK) ") +
            QStringLiteral(" INNER JOIN CO02_ANAGCONTATTO WITH (NOLOCK) ") +
            QStringLiteral(" ON CO02_ID = CO03_ID_CO02 ") + QStringLiteral(" WHERE CO03_CODICE_CG16 = ") +
            code.toText() + QStringLiteral(" AND CO03_TIPO_CO01 = '") + tipo + QStringLiteral("' ") +
            (mail ? QStringLiteral(" AND NOT CO02_EMAIL1 IS NULL ")
                  : QStringLiteral(" AND NOT CO02_FAX IS NULL ")) +
            QStringLiteral(" ORDER BY CO03_FLGPREF desc, CO02_COGNOMENOME"));
        if (!m_rsWork->eof()) {
            // Only the first contact counts; a blank number or address means no recipient.
            const QString address =
                RTrimN(m_rsWork->value(mail ? QStringLiteral("CO02_EMAIL1") : QStringLiteral("CO02_FAX")));
            if (address.isEmpty())
                return {};
            return {
                std::int32_t(NVL(m_rsWork->value(QStringLiteral("CO02_ID")), Value(0)).toInt32().value_or(0)),
                IReport::RecipientContact};
        }
    }
    const QString address =
        RTrimN(record.value(mail ? QStringLiteral("CG16_INDEMAIL") : QStringLiteral("CG16_FAXNUM")));
    if (address.isEmpty())
        return {};
    return {std::int32_t(code.toInt32().value_or(0)), IReport::RecipientRegistry};
}

void FRMPD_KVB_STSOLL::Esporta(std::int32_t sendMode) {
    // On the status bar: the data prepared (step 1 of 2), then the letters sent (step 2), with
    // the reminder rows done of all.
    ProgressSteps progress(ClsModulo ? ClsModulo->Cinterface_StatusBar() : nullptr, 2);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Stato(TraduzioneTesto(QStringLiteral("Preparazione dati in corso ....."), 78554));
    progress.step(1);
    creaDati();
    if (m_report)
        RilasciaReport();

    m_copiaInvio = m_dati->clone();
    m_dati->clearFilter();

    if (m_copiaInvio->recordCount() <= 0) {
        QApplication::restoreOverrideCursor();
        Stato(TraduzioneTesto(QStringLiteral("Pronto"), 45817));
        Messaggio(QStringLiteral("Non ci sono solleciti da inviare"), 39764, msgbox::Information);
    } else {
        QApplication::restoreOverrideCursor();
        Inizializza_Classe_Report(sendMode);
        Stato(sendMode == 0 ? TraduzioneTesto(QStringLiteral("Invio fax in corso ....."), 78556)
                            : TraduzioneTesto(QStringLiteral("Invio mail in corso ....."), 78555));

        progress.step(2);
        const int rows = m_copiaInvio->recordCount();
        int done = 0;
        std::int64_t ultimo = 0;
        for (m_copiaInvio->moveFirst(); !m_copiaInvio->eof() && !m_chiudiDopoInvio;
             m_copiaInvio->moveNext(), ++done) {
            const std::int64_t code =
                NVL(m_copiaInvio->value(QStringLiteral("CG16_CODICE")), Value(0)).toInt64().value_or(0);
            if (code == ultimo)
                continue;
            progress.rows(done, rows); // once per supplier: each is a letter sent
            m_destinatarioCorrente = ScegliDestinatario(sendMode, *m_copiaInvio);
            if (m_destinatarioCorrente.id > 0)
                m_report->setRecipient(m_destinatarioCorrente.id, m_destinatarioCorrente.kind);
            m_dati->clearFilter();
            m_dati->setFilter(QStringLiteral("CG16_CODICE = ") + QString::number(code));
            m_report->setData(m_dati.get());
            m_report->run();
            if (m_chiudiDopoInvio)
                break;
            if (m_report->status() != 0) {
                RilasciaReport();
                Inizializza_Classe_Report(sendMode);
            }
            ultimo = code;
        }
        RilasciaReport();
        AggiornaStorico();
        Stato(TraduzioneTesto(QStringLiteral("Pronto"), 45817));
    }
    m_dati->clearFilter();
    if (sendMode == 0)
        Messaggio(QStringLiteral("Invio fax solleciti terminato"), 34412, msgbox::Information);
    else
        Messaggio(QStringLiteral("Invio e-mail solleciti terminato"), 34409, msgbox::Information);
}

void FRMPD_KVB_STSOLL::Inizializza_Classe_Report(std::int32_t sendMode) {
    const int media = sendMode != 0 ? IReport::MediaMail : IReport::MediaFax;
    CreaReport();
    ConfiguraReport(*m_report, false);
    m_report->setFurtherSettings(0, 0, 0);

    const QString title = TraduzioneTesto(QStringLiteral("Stampa solleciti"), 54883);
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    const QList<Value> printerMedia = {
        Value(media),
        Value(6),
        Value(0),
        Value(QString()),
        Value(QString()),
        Value(QString()),
        Value(false),
        Value(false),
        Value(false),
        Value(title),
        Value(printer.printerName()),
        Value(printer.makeAndModel()),
        Value(QString()),
        Value(0),
        Value(7),
        Value(0),
        Value(0),
        Value(QString()),
        Value(QString()),
    };
    m_report->setPrinterMedia(printerMedia);
    m_report->prepareSend(printerMedia, CartellaModulo(), ReportFile, title);
}

void FRMPD_KVB_STSOLL::beforeSendMedia(bool& cancel, QList<Value>& printerMedia) {
    // The service's own send is replaced by one send per group of the supplier's records.
    cancel = true;
    m_printerMedia = printerMedia;
    m_printerMediaKept = true;
    cmdFax_Click_Cliente();
}

void FRMPD_KVB_STSOLL::cmdFax_Click_Cliente() {
    const bool contatti = m_ui->CMB_FAXMAIL->currentData().toInt() == kSourceContacts;
    std::unique_ptr<db::Recordset> perGruppo;
    try {
        QCoreApplication::processEvents();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Stato(TraduzioneTesto(QStringLiteral("Elaborazione in corso..."), 24146));
        if (m_report)
            m_report->setGroupSend(1);

        const auto leggiTestata = [this](const char* column, const Value& numreg) {
            std::unique_ptr<db::Recordset> rs = EseguiSQL(
                QStringLiteral(" SELECT ") + QString::fromLatin1(column) + QStringLiteral(" ") +
                QStringLiteral(" FROM DO11_DOCTESTATA WITH (NOLOCK)") +
                QStringLiteral(" WHERE DO11_DITTA_CG18 = ") + QString::number(m_companyCode) +
                QStringLiteral("     AND DO11_NUMREG_CO99 = '") +
                RTrimN(numreg).replace(QLatin1Char('\''), QStringLiteral("''")) + QStringLiteral("'"));
            return rs->eof() ? Value() : rs->value(QString::fromLatin1(column));
        };
        const auto LeggiDestinazione = [&](const Value& numreg) {
            return NVLTesto(leggiTestata("DO11_CLIFORDEST", numreg), Value(QString())).toText();
        };
        const auto LeggiContattoOrdine = [&](const Value& numreg) {
            return NVLTesto(leggiTestata("DO11_IDCONT_CO02", numreg), Value(0)).toInt64().value_or(0);
        };

        // RaggruppaDestinatari: the records of the supplier being sent, by supplier, then by
        // the orders' contact or destination.
        QList<GruppoInvio> gruppi;
        {
            std::unique_ptr<db::Recordset> rs = m_dati->clone();
            rs->setFilter(m_dati->filter());
            rs->setSort(QStringLiteral("DO11_CLIFOR_CG44"));
            bool primo = true;
            std::int64_t precedente = 0;
            for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
                const std::int64_t fornitore =
                    rs->value(QStringLiteral("DO11_CLIFOR_CG44")).toInt64().value_or(0);
                const Value numreg = rs->value(QStringLiteral("DO11_NUMREG_CO99"));
                if (primo || fornitore != precedente) {
                    gruppi.append(
                        {fornitore, RTrimN(Value(LeggiDestinazione(numreg))), LeggiContattoOrdine(numreg)});
                } else {
                    const std::int64_t contatto = contatti ? LeggiContattoOrdine(numreg) : 0;
                    const QString destinazione = RTrimN(Value(LeggiDestinazione(numreg)));
                    const auto has = [&](auto pred) {
                        return std::any_of(gruppi.cbegin(), gruppi.cend(), pred);
                    };
                    if (contatto != 0 && !has([&](const GruppoInvio& g) { return g.contatto == contatto; }))
                        gruppi.append({fornitore, destinazione, contatto});
                    else if (contatto == 0 && !destinazione.isEmpty() &&
                             !has([&](const GruppoInvio& g) { return g.destinazione == destinazione; }))
                        gruppi.append({fornitore, destinazione, 0});
                }
                primo = false;
                precedente = fornitore;
            }
        }

        const QString title = TraduzioneTesto(QStringLiteral("Stampa solleciti"), 54883);
        for (const GruppoInvio& g : gruppi) {
            m_reportGruppo = NuovoReport();
            ConfiguraReport(*m_reportGruppo, true);

            QString filtro = QStringLiteral(" DO11_CLIFOR_CG44 = ") + QString::number(g.fornitore);
            if (g.contatto != 0)
                filtro += QStringLiteral(" AND DO11_IDCONT_CO02 = ") + QString::number(g.contatto);
            if (!g.destinazione.isEmpty())
                filtro += QStringLiteral(" AND DO11_CLIFORDEST = '") + g.destinazione + QStringLiteral("'");
            perGruppo = m_dati->clone();
            perGruppo->setFilter(filtro.trimmed());
            m_reportGruppo->setData(perGruppo.get());

            // The recipient: the order's contact, its destination, or the recipient the
            // rules chose for this supplier. A supplier without one is given none: the report
            // service skips it and never sends it to somebody else.
            if (contatti && g.contatto != 0)
                m_reportGruppo->setRecipient(std::int32_t(g.contatto), IReport::RecipientContact);
            else if (!NVLTesto(Value(g.destinazione), Value(QString())).toText().isEmpty())
                m_reportGruppo->setRecipient(g.destinazione.trimmed().toInt(), IReport::RecipientDestination);
            else if (m_destinatarioCorrente.id > 0)
                m_reportGruppo->setRecipient(m_destinatarioCorrente.id, m_destinatarioCorrente.kind);

            m_reportGruppo->setTitle(title);
            QCoreApplication::processEvents();
            QApplication::restoreOverrideCursor();
            Stato(TraduzioneTesto(QStringLiteral("Pronto"), 45817));

            bool fermo = m_reportGruppo->status() != 0;
            if (!fermo) {
                m_reportGruppo->setPrinterMedia(m_printerMedia);
                m_reportGruppo->send(m_printerMedia, CartellaModulo() + QLatin1Char('/') + ReportFile, title);
            }
            if (!fermo)
                ScriviStorico(m_reportGruppo->lastOutcome(), g.fornitore);
            // A send that failed tells why, and ends this supplier's sends.
            if (m_reportGruppo->status() == IReport::StatusError) {
                Messaggio(m_reportGruppo->statusText(), 0, msgbox::Critical);
                fermo = true;
            } else if (m_reportGruppo->status() != 0) {
                fermo = true;
            }
            m_reportGruppo->setGlobalContext(nullptr);
            m_reportGruppo->setConnection(nullptr);
            m_reportGruppo->setData(nullptr);
            m_reportGruppo->setEvents(nullptr);
            m_reportGruppo.reset();
            perGruppo.reset();
            if (fermo)
                break;
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
    } catch (...) {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        m_reportGruppo.reset();
        perGruppo.reset();
        ScriviErroreLog(QStringLiteral("cmdFax_Click_Cliente"),
                        RuntimeError::fromException(std::current_exception()));
        close();
    }
}

} // namespace scadlav

namespace scadlav {

ActionOutcome FRMPD_KVB_STSOLL::EseguiLavoro(const ReminderJob& job) {
    using Status = ActionOutcome::Status;
    ReminderControls& ui = *m_ui;
    if (!m_activated)
        return {Status::Failed, TraduzioneTesto(QStringLiteral("Schermata solleciti non pronta"), 91020)};
    CMD_SEL_Click();
    CMD_CONFERMA_Click();
    if (isSelectionPanelShown())
        return {Status::NoData, TraduzioneTesto(QStringLiteral("Nessun dato da elaborare."), 38891)};

    // A fixed text that does not exist stops the job: no letter goes out without its text.
    const auto testo = [&](erpctl::CodeField* field, QLineEdit* description, const QString& code) {
        field->setCode(code);
        return code.isEmpty() || !description->text().isEmpty();
    };
    if (!testo(ui.TXT_COD_INIZ, ui.TXT_DESCR_INIZ, job.opening) ||
        !testo(ui.TXT_COD_FIN, ui.TXT_DESCR_FIN, job.closing))
        return {Status::Failed, TraduzioneTesto(QStringLiteral("Testo fisso non codificato !!!"), 56224)};
    ui.TXT_TITOLO->setText(job.title);
    ui.CMB_TIPOLOGO->setCurrentIndex(ui.CMB_TIPOLOGO->findData(job.logo));
    ui.CMB_FAXMAIL->setCurrentIndex(ui.CMB_FAXMAIL->findData(job.source));
    CMB_FAXMAIL_Click();
    if (job.source == kSourceContacts)
        ui.TXT_TIPOCONTATTO->setCode(job.contactType);

    QPushButton* button = job.channel == ReminderJob::Channel::Mail  ? ui.CMD_MAIL
                          : job.channel == ReminderJob::Channel::Fax ? ui.CMD_FAX
                                                                     : ui.CMD_STAMPA;
    if (!button->isEnabled())
        return {Status::Failed,
                TraduzioneTesto(QStringLiteral("Canale di invio non configurato (FW23_FAXER)"), 91021)};
    button->click();
    return {Status::Done, QString()};
}

} // namespace scadlav
