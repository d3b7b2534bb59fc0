#include "tests/support/RebuildDatabase.h"

#include <gtest/gtest.h>

namespace scadlav::testing {

RebuildDatabase::RebuildDatabase() {
    m_connection.setConnectionString(QStringLiteral("Provider=tsqlite;Data Source=") + m_erp.path());
    if (!m_connection.open())
        throw std::runtime_error("cannot open the test database: " +
                                 m_connection.lastErrorText().toStdString());
    m_connection.setCommandTimeout(0);
    m_tables = engine::WorkTables::withSuffix(QStringLiteral("TEST_05_12_2026_10_00_00"));
    m_rebuild = std::make_unique<engine::ScheduleRebuild>(m_connection, m_tables);
}

engine::RebuildInputs RebuildDatabase::defaultInputs(std::int16_t company) {
    engine::RebuildInputs in;
    in.company = company;
    in.minDateLiteral = QStringLiteral("'2026-01-01 00:00:00'");
    in.phaseType = QStringLiteral("0");
    in.checkedStates = QStringList{QStringLiteral("K0"), QStringLiteral("K1"), QStringLiteral("K2"),
                                   QStringLiteral("K3"), QStringLiteral("K4")};
    return in;
}

void RebuildDatabase::fillSmallOrderBook() {
    m_erp.run(
        "INSERT INTO FW07_APPUSER (FW07_ID, FW07_DESCR) VALUES (7, 'Mario Rossi'), (8, 'Anna Bianchi')");
    m_erp.run("INSERT INTO CG16_ANAGGEN (CG16_CODICE, CG16_RAGSOANAG) VALUES (500, 'Terzista Srl')");
    m_erp.run("INSERT INTO CG44_CLIFOR (CG44_DITTA_CG18, CG44_TIPOCF, CG44_CLIFOR, CG44_CODICE_CG16) VALUES "
              "(1, 1, 1234, 500), (1, 1, 123456789, 500)");
    m_erp.run("INSERT INTO PD07_REPARTO (PD07_DITTA_CG18, PD07_CODREP, PD07_DESCR) VALUES (1, 'REP1', "
              "'Reparto taglio')");
    m_erp.run(
        "INSERT INTO PD12_FASILAVORO (PD12_DITTA_CG18, PD12_CODFASE, PD12_DESCR) VALUES (1, 10, 'Taglio'), "
        "(1, 20, 'Saldatura'), (1, 30, 'Verniciatura')");
    m_erp.run("INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART) VALUES (1, 'ART1'), (1, 'SEMI1'), "
              "(2, 'ART1')");
    m_erp.run("INSERT INTO PD18_ARTPROD (PD18_DITTA_CG18, PD18_CODART_MG66) VALUES (1, 'ART1'), (2, 'ART1')");
    m_erp.run("INSERT INTO PD95_DISBA (PD95_IDDISBA, PD95_DITTA_CG18, PD95_CODART_MG66, PD95_TIPO_DISTINTA) "
              "VALUES ('D1', 1, 'ART1', 0), ('D2', 1, 'SEMI1', 0)");
    m_erp.run("INSERT INTO MG70_MAGPROQTA (MG70_DITTA_CG18, MG70_CODART_MG66, MG70_OPZIONE_MG5E, "
              "MG70_CODDEP_MG58, MG70_TIPOPROG, MG70_ANNO, MG70_TIPOQTA, MG70_QGIACATT) VALUES "
              "(1, 'ART1', '', '02', 1, 0, 1, 55), (1, 'ART1', '', '02', 1, 2026, 1, 999)");
    m_erp.run(
        "INSERT INTO DO11_DOCTESTATA (DO11_DITTA_CG18, DO11_NUMREG_CO99, DO11_TIPODOC, DO11_STIPODOC, "
        "DO11_DOCUM_MG36, DO11_DATADOC, DO11_NUMDOC, DO11_CAUSMAG_MG51) VALUES "
        "(1, 'P1', 24, 20, 'OPR', '2026-06-01', 7, NULL), (1, 'P2', 24, 20, 'OPR', '2026-06-02', 8, NULL), "
        "(1, 'P0', 24, 20, 'OPR', '2025-06-02', 1, NULL), "
        "(1, 'C1', 25, 1, ' OCL ', '2026-06-10', 3, 2001), (1, 'C9', 25, 1, 'OCL', '2026-06-11', 4, 9999), "
        "(2, 'P1', 24, 20, 'OPR', '2026-06-01', 7, NULL)");
    m_erp.run(
        "INSERT INTO DO30_DOCCORPO (DO30_DITTA_CG18, DO30_NUMREG_CO99, DO30_PROGRIGA, DO30_CODART_MG66, "
        "DO30_OPZIONE_MG5E, DO30_DESCART, DO30_CODDEP_MG58) VALUES "
        "(1, 'P1', 12, 'ART1', '', 'Telaio', '02'), (1, 'P1', 13, 'ART1', '', 'Telaio', '02'), "
        "(1, 'P1', 14, 'ART1', '', 'Telaio', '02'), (1, 'P2', 1, 'ART1', '', 'Telaio', '02'), "
        "(1, 'P0', 1, 'ART1', '', 'Telaio', '02'), (1, 'C1', 1, 'ART1', '', 'Telaio', 'CL'), "
        "(1, 'C9', 1, 'ART1', '', 'Telaio', 'CL'), (2, 'P1', 12, 'ART1', '', 'Telaio', '02')");
    m_erp.run(
        "INSERT INTO DO31_DOCCORPOORD (DO31_DITTA_CG18, DO31_NUMREG_CO99, DO31_PROGRIGA, DO31_INDSTATOCONS, "
        "DO31_DATACONS) VALUES (1, 'P1', 12, 2, '2026-08-01'), (1, 'P1', 13, 3, NULL), "
        "(1, 'P1', 14, 9, NULL), (1, 'P2', 1, 0, NULL), (1, 'P0', 1, 0, NULL), "
        "(1, 'C1', 1, 1, '2026-07-01'), (1, 'C9', 1, 1, NULL), (2, 'P1', 12, 2, NULL)");
    m_erp.run("INSERT INTO DO33_DOCCORPORIF (DO33_DITTA_CG18, DO33_NUMREG_CO99, DO33_PROGRIGA, "
              "DO33_NUMREGRIF_CO99, DO33_PROGRIGARIF_DO30) VALUES (1, 'C1', 1, 'P1', 12)");
    m_erp.run(
        "INSERT INTO DO46_DOCCORORDDET (DO46_DITTA_CG18, DO46_NUMREG_CO99, DO46_PROGRIGA, DO46_CODSEQFASE, "
        "DO46_PROGSFASE, DO46_CODFASE, DO46_INDFASEINTEST, DO46_TIPOCF_CG44, DO46_CLIFOR_CG44, "
        "DO46_CODREPARTO, DO46_QTA1ORD, DO46_QTA1CONSOLID, DO46_QTA1SCARTO, DO46_INDSTATOORD) VALUES "
        "(1, 'P1', 12, 10, 0, 10, 0, NULL, 0, 'REP1', 100, 40, 0, 2), "
        "(1, 'P1', 12, 20, 0, 20, 1, 1, 1234, NULL, 100, 0, 0, 0), "
        "(1, 'P1', 12, 30, 0, 30, 0, NULL, 0, 'REP1', 100, 0, 5, NULL), "
        "(1, 'P1', 13, 10, 0, 10, 0, NULL, 0, 'REP1', 50, 50, 0, 3), "
        "(1, 'P1', 14, 10, 0, 10, 0, NULL, 0, 'REP1', 50, 0, 0, 0), "
        "(1, 'P2', 1, 10, 0, 20, 1, 1, 123456789, NULL, 10, 0, 0, 0), "
        "(1, 'P0', 1, 10, 0, 10, 0, NULL, 0, 'REP1', 10, 0, 0, 0), "
        "(1, 'C1', 1, 20, 0, 20, 1, 1, 1234, NULL, 100, 0, 0, 0), "
        "(1, 'C9', 1, 20, 0, 20, 1, 1, 1234, NULL, 100, 0, 0, 0), "
        "(2, 'P1', 12, 10, 0, 10, 0, NULL, 0, 'REP1', 100, 0, 0, 0)");
    // In work: 30 at the cut, 25 of the semi-finished article at the subcontractor, 10 at the
    // paint shop, more taken out than put in at the fully reported line.
    m_erp.run("INSERT INTO PD5M_MOVFASE (PD5M_ID, PD5M_DITTA_CG18, PD5M_NUMREG_CO99, PD5M_PROGRIGA_DO30, "
              "PD5M_CODFASE_PD12, PD5M_CLIFOR_CG44, PD5M_CODART_MG66, PD5M_DATAMOV, PD5M_QTA) VALUES "
              "(1, 1, 'P1', 12, 10, 0, 'ART1', '2026-06-02', 30), "
              "(2, 1, 'P1', 12, 20, 1234, 'SEMI1', '2026-06-03', 25), "
              "(3, 1, 'P1', 12, 30, 0, 'ART1', '2026-06-04', 10), "
              "(4, 1, 'P1', 13, 10, 0, 'ART1', '2026-06-04', -5)");
}

void RebuildDatabase::exec(const QString& sql) {
    m_connection.clearErrors();
    ASSERT_TRUE(m_connection.execute(sql, db::kCmdTextNoRecords))
        << sql.toStdString() << "\n-> " << m_connection.lastErrorText().toStdString();
}

std::unique_ptr<db::Recordset> RebuildDatabase::query(const QString& sql) {
    auto rs = m_connection.execute(sql);
    EXPECT_TRUE(rs) << sql.toStdString() << "\n-> " << m_connection.lastErrorText().toStdString();
    return rs;
}

Value RebuildDatabase::scheduleValue(const QString& key, const char* column) {
    auto rs = query(QStringLiteral("SELECT ") + QLatin1String(column) +
                    QStringLiteral(" FROM PD5C_SCADLAV WHERE PD5C_KEYGRID = '") + key + u'\'');
    if (!rs || !rs->isOpen() || rs->recordCount() != 1) {
        ADD_FAILURE() << "no single schedule row with key " << key.toStdString();
        return Value();
    }
    return rs->value(0);
}

int RebuildDatabase::scheduleCount(const QString& condition) {
    auto rs = query(QStringLiteral("SELECT COUNT(*) AS N FROM PD5C_SCADLAV") +
                    (condition.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition));
    return rs && rs->isOpen() ? int(rs->value(0).toInt64().value_or(-1)) : -1;
}

bool RebuildDatabase::rebuild(const engine::RebuildInputs& inputs) {
    m_insertError = {};
    try {
        return m_rebuild->fillSchedule(inputs, QStringLiteral("CL"), &m_insertError);
    } catch (const RuntimeException& e) {
        ADD_FAILURE() << e.error().description.toStdString();
        return false;
    }
}

void RebuildDatabase::completeQuantities() {
    try {
        m_rebuild->completeQuantities();
    } catch (const RuntimeException& e) {
        ADD_FAILURE() << e.error().description.toStdString();
    }
}

std::unique_ptr<db::Recordset> RebuildDatabase::openSchedule() {
    try {
        return m_rebuild->openSchedule();
    } catch (const RuntimeException& e) {
        ADD_FAILURE() << e.error().description.toStdString();
        return nullptr;
    }
}

} // namespace scadlav::testing
