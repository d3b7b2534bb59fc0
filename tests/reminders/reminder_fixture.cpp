#include "tests/reminders/reminder_fixture.h"

#include "module/sql/SqlText.h"
#include "tests/support/ErpDbTesting.h"

namespace scadlav::testing {

QStringList recordRows(db::Recordset* rs) {
    QStringList rows;
    if (!rs || !rs->isOpen())
        return rows;
    std::unique_ptr<db::Recordset> cursor = rs->clone();
    cursor->setFilter(rs->filter());
    for (cursor->moveFirst(); !cursor->eof(); cursor->moveNext())
        rows << cursor->value(QStringLiteral("DO11_CLIFOR_CG44")).toText() + QLatin1Char('/') +
                    RTrimN(cursor->value(QStringLiteral("DO30_CODART_MG66")));
    return rows;
}

namespace {

// `format` with %1, %2... replaced in one pass by `values`: numbers, or texts already quoted.
template <class... Values> QString sql(const char* format, const Values&... values) {
    const auto text = [](const auto& v) {
        if constexpr (std::is_arithmetic_v<std::decay_t<decltype(v)>>)
            return QString::number(v);
        else
            return QString(v);
    };
    return QString::fromUtf8(format).arg(text(values)...);
}

// A report document with the reminder's parameters and one the screen does not know ("ALTRO");
// its letterhead sub-report records only the data it is given.
class RecordingDocument : public IReportDocument {
public:
    explicit RecordingDocument(QStringList names = {}) : names(std::move(names)) {}
    QStringList parameterFieldNames() const override { return names; }
    void setParameterValue(const QString& name, const Value& value) override { values.insert(name, value); }
    IReportDocument* subreport(const QString& name) override {
        if (names.isEmpty() || name != QLatin1String("LOGO_MAN"))
            return nullptr;
        if (!logo)
            logo = std::make_unique<RecordingDocument>();
        return logo.get();
    }
    void setData(db::Recordset* d) override { data = d; }
    int sectionCount() const override { return 0; }
    QList<ReportObjectInfo> reportObjects(int) const override { return {}; }
    void setFormattedPicture(int, const QString&, const QImage&) override {}

    QStringList names;
    QHash<QString, Value> values;
    db::Recordset* data = nullptr;
    std::unique_ptr<RecordingDocument> logo;
};

// Records what the screen prints and sends; a send fails for the suppliers in `failures`.
class RecordingReport : public IReport {
public:
    explicit RecordingReport(ReportLog& log) : m_log(log) {}

    void setEvents(IReportEvents* events) override { m_events = events; }
    void setGlobalContext(IGlobalContext*) override {}
    void setModuleIdentity(const QString&) override {}
    void setFlags(bool, bool) override {}
    void setConnection(db::Connection*) override {}
    void setTitle(const QString&) override {}
    void setReportFile(const QString&) override {}
    void setReportFolder(const QString&) override {}
    void setSettings(int, int) override {}
    void setConnectionInfo(const ConnectionInfo&) override {}
    void setData(db::Recordset* data) override { m_data = data; }
    void setContextValue(const Value&) override {}
    void setFurtherSettings(int, int, int) override {}
    void setGroupSend(int) override {}
    void setPrinterMedia(const QList<Value>&) override {}
    void prepareSend(const QList<Value>& printerMedia, const QString&, const QString&,
                     const QString&) override {
        m_printerMedia = printerMedia;
        m_sendPrepared = true;
    }
    void setRecipient(std::int32_t id, int kind) override {
        m_recipient = id;
        m_kind = kind;
    }
    bool isFinished() const override { return true; }
    int status() const override { return m_status; }
    QString statusText() const override { return m_statusText; }
    ReportOutcome lastOutcome() const override { return m_outcome; }

    void run() override {
        bool cancel = false;
        if (m_sendPrepared) {
            QList<Value> printerMedia = m_printerMedia;
            if (m_events)
                m_events->beforeSendMedia(cancel, printerMedia);
            return;
        }
        RecordingDocument doc(
            QStringLiteral("TITOLO TESTO_INIZ TESTO_INIZ_2 TESTO_FIN TESTO_FIN_2 TIPOLOGO ALTRO")
                .split(u' '));
        if (m_events)
            m_events->beforePrintReport(cancel, doc);
        ReportLog::Print print{doc.values, {}, recordRows(m_data)};
        if (doc.logo && doc.logo->data) {
            std::unique_ptr<db::Recordset> company = doc.logo->data->clone();
            for (company->moveFirst(); !company->eof(); company->moveNext())
                print.companyNames << RTrimN(company->value(QStringLiteral("CG16_RAGSOANAG")));
        }
        m_log.prints << print;
        m_outcome = {ReportOutcome::Kind::Sent, QStringLiteral("print"), QStringLiteral("Stampante"),
                     QString()};
    }

    void send(const QList<Value>& printerMedia, const QString&, const QString&) override {
        const int media = printerMedia.isEmpty() ? 0 : int(printerMedia.constFirst().toInt32().value_or(0));
        const ReportLog::Send send{m_recipient, m_kind, recordRows(m_data), media};
        m_log.sends << send;
        const QString supplier = send.rows.value(0).section(QLatin1Char('/'), 0, 0);
        const QString channel = media == MediaMail ? QStringLiteral("mail") : QStringLiteral("fax");
        const QString recipient = QStringLiteral("dest-%1").arg(m_recipient);
        if (m_log.failures.contains(supplier)) {
            m_status = IReport::StatusError;
            m_statusText = m_log.failures.value(supplier);
            m_outcome = {ReportOutcome::Kind::Failed, channel, recipient, m_statusText};
        } else if (m_recipient <= 0) {
            m_outcome = {ReportOutcome::Kind::Skipped, channel, QString(),
                         QStringLiteral("nessun destinatario")};
        } else {
            m_outcome = {ReportOutcome::Kind::Sent, channel, recipient, QString()};
        }
    }

private:
    ReportLog& m_log;
    IReportEvents* m_events = nullptr;
    db::Recordset* m_data = nullptr;
    QList<Value> m_printerMedia;
    bool m_sendPrepared = false;
    std::int32_t m_recipient = 0;
    int m_kind = -1;
    int m_status = 0;
    QString m_statusText;
    ReportOutcome m_outcome;
};

} // namespace

ReminderScreenTest::ReminderScreenTest() : runtime(&factory, &clock) {
    path = dir.filePath(QStringLiteral("erp.db"));
    erpdb::testing::createEmptyErpDatabase(path);
    if (!db.open(connectionString()))
        ADD_FAILURE() << db.lastErrorText().toStdString();

    for (const char* sql :
         {"INSERT INTO CG16_ANAGGEN (CG16_CODICE, CG16_RAGSOANAG, CG16_PARTIVA, CG16_TEL1NUM, CG16_FAXNUM, "
          "CG16_INDEMAIL, CG16_INDWEB) VALUES (1, 'Officine Demo S.p.A.', '01234567890', '0521 555100', "
          "'0521 555101', 'info@officinedemo.it', 'www.officinedemo.it')",
          "INSERT INTO CG18_ANADITTABASE (CG18_DITTA, CG18_CODICE_CG16, CG18_INDIRLEG, CG18_CAPLEG, "
          "CG18_CITTALEG, CG18_PROVLEG) VALUES (1, 1, 'Via Emilia 12', '43100', 'Parma', 'PR')",
          "INSERT INTO CG07_TABSTATIEST (CG07_CODICE, CG07_DESCR) VALUES ('IT', 'Italia')",
          "INSERT INTO CO01_TIPICONTATTO (CO01_CODICE, CO01_DESCR) VALUES ('PROD', 'Capo produzione')",
          "INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_UM1) VALUES (1, 'ART1', 'PZ')",
          "INSERT INTO MG62_TESTIFIS (MG62_CODICE, MG62_DESCR, MG62_TESTO) VALUES ('SOLL01', "
          "'Sollecito consegna', 'Vi sollecitiamo la riconsegna del materiale.  ')",
          "INSERT INTO MG63_TESTIFISDITTA (MG63_CODICE_MG62, MG63_DITTA_CG18, MG63_DESCR) VALUES "
          "('SOLL01', 1, 'Sollecito rientro materiale')",
          // The host's send channels: fax (0) and mail (1).
          "INSERT INTO FW23_FAXER (FW23_ID, FW23_INDTIPO, FW23_DESCR) VALUES (10, 0, 'fax'), (11, 1, "
          "'mail')"})
        exec(QString::fromUtf8(sql));

    factory.registerClass(classnames::Report, [this]() -> std::unique_ptr<IHostObject> {
        if (!reportService)
            return nullptr;
        return std::make_unique<RecordingReport>(reports);
    });
    factory.registerClass(classnames::ErrorLog, [] { return std::make_unique<doubles::MemoryErrorLog>(); });
    global.connection = connectionString();
    global.messages = &messages;
    module.Cinterface_SetClsGlobal(&global);
    module.Cinterface_SetStatusBar(&statusBar);
}

ReminderScreenTest::~ReminderScreenTest() {
    if (screen)
        screen->close();
    delete screen.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ReminderScreenTest::exec(const QString& sql) {
    if (!db.execute(sql, db::kCmdTextNoRecords))
        ADD_FAILURE() << sql.toStdString() << ": " << db.lastErrorText().toStdString();
}

QString ReminderScreenTest::quoted(const QString& text) {
    if (text.isNull())
        return QStringLiteral("NULL");
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

void ReminderScreenTest::addSupplier(int code, const QString& name, const QString& email, const QString& fax,
                                     const QString& country, int company, int type) {
    exec(sql("INSERT INTO CG16_ANAGGEN (CG16_CODICE, CG16_RAGSOANAG, CG16_INDIRIZZO, CG16_CAP, CG16_CITTA, "
             "CG16_PROV, CG16_CODICE_CG07, CG16_FAXNUM, CG16_INDEMAIL, CG16_TEL1NUM) VALUES (%1, %2, "
             "'Via dei Mille 4', '42100', 'Reggio Emilia', 'RE', %3, %4, %5, '0522 000111')",
             1000 + code, quoted(name), quoted(country), quoted(fax), quoted(email)));
    exec(sql("INSERT INTO CG44_CLIFOR (CG44_DITTA_CG18, CG44_TIPOCF, CG44_CLIFOR, CG44_CODICE_CG16) "
             "VALUES (%1, %2, %3, %4)",
             company, type, code, 1000 + code));
}

void ReminderScreenTest::addContact(int id, int supplier, const QString& type, const QString& name,
                                    const QString& email, const QString& fax, bool preferred) {
    exec(sql("INSERT INTO CO02_ANAGCONTATTO (CO02_ID, CO02_COGNOMENOME, CO02_FAX, CO02_EMAIL1) "
             "VALUES (%1, %2, %3, %4)",
             id, quoted(name), quoted(fax), quoted(email)));
    exec(sql("INSERT INTO CO03_LEGCONTATTO (CO03_CODICE_CG16, CO03_ID_CO02, CO03_TIPO_CO01, CO03_FLGPREF) "
             "VALUES (%1, %2, %3, %4)",
             1000 + supplier, id, quoted(type), preferred ? 1 : 0));
}

void ReminderScreenTest::addRow(const ReminderRow& r) {
    static int line = 0;
    ++line;
    const QString numreg = quoted(QStringLiteral("R%1").arg(line));
    const auto orNull = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("NULL") : quoted(text);
    };
    exec(sql(
        "INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, DO46_CODSEQFASE, "
        "DO46_PROGSFASE, DO46_CODFASE, DO46_NOTECOSTR) VALUES (%1, %2, 1, 10, 0, 20, %3)",
        r.company, numreg, orNull(r.note)));
    // The test's rows carry their reminder class in PD5C_INDFASEINTEST.
    exec(sql("INSERT INTO PD5C_SCADLAV (PD5C_KEYGRID, PD5C_SEL, PD5C_INDFASEINTEST, PD5C_CLIFOR_CG44, "
             "PD5C_FORREP, PD5C_SEQUENZA, PD5C_CODFASE_PD12, PD5C_DESCFASE, PD5C_CODART_MG66, PD5C_DESCART, "
             "PD5C_DITTA_CG18, PD5C_NUMREG_CO99, PD5C_PROGRIGA_DO30, PD5C_DOCUM_MG3G, PD5C_NUMDOC, "
             "PD5C_DATAFINEFASE, PD5C_QTAINLAV, PD5C_QTARES) VALUES (%1, 0, %2, %3, 'Fornitore', 10, 20, "
             "'Tornitura', %4, %5, %6, %7, 1, 'ODL', %8, %9, %10, %11)",
             quoted(r.key), r.soll, r.supplier == 0 ? QStringLiteral("NULL") : QString::number(r.supplier),
             quoted(r.article), quoted(r.description), r.company, numreg, line, orNull(r.end), r.inWork,
             r.residual));
}

void ReminderScreenTest::addRows(const QList<std::pair<const char*, int>>& rows) {
    for (const auto& [key, supplier] : rows)
        addRow({.key = QString::fromLatin1(key),
                .supplier = supplier,
                .article = QStringLiteral("ART-") + QString::fromLatin1(key),
                .description = QStringLiteral("Descrizione di ") + QString::fromLatin1(key)});
}

FRMPD_KVB_STSOLL* ReminderScreenTest::open() {
    auto rows = std::make_unique<db::Recordset>();
    const QString sql = QStringLiteral(
        "SELECT PD5C_SCADLAV.*, DO46_NOTECOSTR, MG66_UM1, PD5C_INDFASEINTEST AS SOLL FROM PD5C_SCADLAV "
        "LEFT JOIN DO46_DOCCORORDDET ON DO46_DITTA_CG18 = PD5C_DITTA_CG18 AND DO46_NUMREG_CO99 = "
        "PD5C_NUMREG_CO99 AND DO46_PROGRIGA = PD5C_PROGRIGA_DO30 AND DO46_CODSEQFASE = PD5C_SEQUENZA "
        "LEFT JOIN MG66_ANAGRART ON MG66_DITTA_CG18 = PD5C_DITTA_CG18 AND MG66_CODART = PD5C_CODART_MG66 "
        "ORDER BY PD5C_KEYGRID");
    if (!rows->open(sql, db))
        ADD_FAILURE() << rows->lastErrorText().toStdString();
    rows->setFilter(FRMPD_KVB_STSOLL::ReminderFilter);
    screen = new FRMPD_KVB_STSOLL();
    screen->ImpostaDati(&db, nullptr, &module, connectionString(), 1, 1, std::move(rows));
    screen->Form_Load();
    screen->Form_Activate();
    EXPECT_TRUE(screen->isInitialized());
    return screen;
}

QStringList ReminderScreenTest::rowsOf(const QString& sql) {
    QStringList rows;
    auto rs = db.execute(sql);
    if (!rs || !rs->isOpen()) {
        ADD_FAILURE() << sql.toStdString() << ": " << db.lastErrorText().toStdString();
        return rows;
    }
    for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
        QStringList cells;
        for (int i = 0; i < rs->fieldCount(); ++i)
            cells << rs->value(i).toText();
        rows << cells.join(QLatin1Char(';'));
    }
    return rows;
}

QList<int> ReminderScreenTest::boxIds() const {
    QList<int> ids;
    for (const auto& box : messages.boxes())
        ids << box.textId;
    return ids;
}

void ReminderScreenTest::mark(const QStringList& keys) {
    db::Recordset* rows = screen->reminderRows();
    for (int i = 0; i < rows->recordCount(); ++i) {
        rows->moveTo(i);
        if (keys.contains(rows->value(QStringLiteral("PD5C_KEYGRID")).toText()))
            screen->GRID_ToggleMark(i);
    }
}

} // namespace scadlav::testing
