// The schedule screen's filter panel: its rows, the descriptions and lists it asks of the
// host's lookup and decode objects, and the condition it hands to the server.
#include "schedule/ParametersPanel.h"

#include "engine/ScheduleStatement.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "platform/controls/EnhancedQuery.h"
#include "platform/controls/FilterTable.h"
#include "platform/controls/ILookupPresenter.h"
#include "platform/host/LookupService.h"
#include "platform/host/LookupWindow.h"
#include "platform/host/MessageBoxes.h"
#include "tests/schedule/ScheduleTestDatabase.h"
#include "tests/schedule/screen_harness.h"
#include "tests/support/doubles/ScriptedLookup.h"

#include <QAbstractItemModel>
#include <QTableWidgetItem>
#include <QTemporaryDir>

using namespace scadlav;
using namespace scadlav::doubles;
using erpctl::FilterKind;
using scadlav::testing::ScheduleTestDatabase;

namespace {

// Records the lists the panel asks to show and picks a scripted code.
class RecordingPresenter : public erpctl::ILookupPresenter {
public:
    QList<erpctl::LookupRequest> requests;
    QString pick;
    bool present(const erpctl::LookupRequest& request, QWidget*, QString& picked) override {
        requests << request;
        picked = pick;
        return !pick.isEmpty();
    }
};

// The schedule screen with the host objects each test gives it.
class FilterPanelScreen : public scadlav::testing::ScreenHarness {
protected:
    void openOn(const QString& connection, std::int16_t company, erpctl::ILookupPresenter* presenter) {
        global.connection = connection;
        global.company = company;
        open();
        panel = screen->controls().EnhancedQuery;
        panel->setLookupPresenter(presenter);
    }
    // Types a value into the panel's cell, as the user does.
    void type(const QString& field, int side, const QString& text) {
        const int row = panel->rowOf(field);
        ASSERT_GE(row, 0) << field.toStdString();
        const int column = side == 1 ? erpctl::FilterTable::FromColumn : erpctl::FilterTable::ToColumn;
        panel->table()->item(row, column)->setText(text);
    }

    erpctl::EnhancedQuery* panel = nullptr;
};

// The screen with scripted lookups and decodes.
class FilterPanelTest : public FilterPanelScreen {
protected:
    FilterPanelTest() {
        factory.registerClass(classnames::Lookup, [this] {
            auto lookup = std::make_unique<ScriptedLookup>();
            lookup->questions = &lookupQuestions;
            lookups << lookup.get();
            return lookup;
        });
        factory.registerClass(classnames::Decode, [this] {
            auto decode = std::make_unique<ScriptedDecode>();
            decode->questions = &decodeQuestions;
            decodes << decode.get();
            return decode;
        });
        openOn(db.connectionString(), 3, &presenter);
    }
    ~FilterPanelTest() override { close(); }

    // Every decode object answers the same: the test need not know which group asks.
    void answer(CodeKind kind, const QString& code, const QStringList& parents, const QString& description) {
        for (ScriptedDecode* decode : decodes)
            decode->answer(kind, code, parents, description);
    }
    ScriptedDecode* decodeOf(ParametersPanel::HostServiceSlot slot) {
        return dynamic_cast<ScriptedDecode*>(screen->parameters().hostService(slot));
    }

    ScheduleTestDatabase db;
    RecordingPresenter presenter;
    QList<ScriptedLookup*> lookups;
    QList<ScriptedDecode*> decodes;
    QList<CodeQuestion> lookupQuestions;
    QList<CodeQuestion> decodeQuestions;
};

// Each row's field must exist where the schedule statement looks for it: a row on a wrong or
// renamed field makes the whole show fail at the server.
TEST_F(FilterPanelTest, EveryRowFilledGivesAConditionTheScheduleStatementRuns) {
    ASSERT_EQ(panel->rowCount(), 31);
    EXPECT_EQ(panel->conditionText(), QString()); // nothing filled, no condition
    QStringList fields;
    for (int i = 0; i < panel->rowCount(); ++i) {
        const erpctl::FilterRowDefinition* row = panel->rowDefinition(i);
        ASSERT_NE(row, nullptr);
        fields << row->field;
        type(row->field, 1,
             row->kind == FilterKind::Date     ? "01/03/2026"
             : row->kind == FilterKind::Number ? "1"
                                               : "A");
    }
    ASSERT_TRUE(panel->isValid()) << panel->validationErrors().join(QLatin1Char(';')).toStdString();
    ScheduleParameters parameters;
    parameters.companyCode = 3;
    parameters.minDateLiteral = "null";
    parameters.stateKeys = QStringList{"K0", "K1", "K2", "K3", "K4"};
    parameters.filterCondition = panel->conditionText();
    for (const QString& field : fields)
        EXPECT_TRUE(parameters.filterCondition.contains(field)) << field.toStdString();
    const QString sql = *schedule_sql::showStatement(parameters);
    EXPECT_TRUE(db.connection().execute(sql)) << db.connection().lastErrorText().toStdString();
}

TEST_F(FilterPanelTest, DecodesEachSideWithinItsParentsAndUnknownOrEmptyCodesQuietly) {
    answer(CodeKind::Family, "F1", {}, "Flange");
    answer(CodeKind::Family, "F2", {}, "Alberi");
    answer(CodeKind::Subfamily, "S1", {"F1"}, "Flange piane");
    answer(CodeKind::Subfamily, "S1", {"F2"}, "Alberi corti");
    type("MG66_FAM_MG53", 1, "F1");
    type("MG66_FAM_MG53", 2, "F2");
    type("MG66_SFAM_MG54", 1, "S1");
    type("MG66_SFAM_MG54", 2, "S1");
    EXPECT_EQ(panel->fromDescription("MG66_FAM_MG53"), "Flange");
    EXPECT_EQ(panel->toDescription("MG66_FAM_MG53"), "Alberi");
    EXPECT_EQ(panel->fromDescription("MG66_SFAM_MG54"), "Flange piane");
    EXPECT_EQ(panel->toDescription("MG66_SFAM_MG54"), "Alberi corti");

    // A group asks within family and subfamily, a subgroup within all three, each of its side.
    type("MG66_GRUPPO_MG55", 2, "G9");
    type("MG66_SGRUPPO_MG56", 1, "SG");
    const CodeQuestion group = decodeQuestions[decodeQuestions.size() - 2];
    EXPECT_EQ(group.kind, CodeKind::Group);
    EXPECT_EQ(group.parentCodes, (QStringList{"F2", "S1"}));
    EXPECT_EQ(decodeQuestions.last().kind, CodeKind::Subgroup);
    EXPECT_EQ(decodeQuestions.last().parentCodes, (QStringList{"F1", "S1", QString()}));

    // An unknown code clears the description.
    type("MG66_FAM_MG53", 1, "ZZ");
    EXPECT_EQ(panel->fromDescription("MG66_FAM_MG53"), QString());

    // A subfamily with no family is asked with an empty family; a blank value is not asked.
    panel->clear();
    decodeQuestions.clear();
    type("MG66_SFAM_MG54", 2, "S1");
    type("MG66_CODART", 1, "   ");
    ASSERT_EQ(decodeQuestions.size(), 1);
    EXPECT_EQ(decodeQuestions[0].parentCodes, QStringList{QString()});
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_TRUE(errorLog.records.isEmpty());

    // Rows without a lookup have no decode.
    decodeQuestions.clear();
    type("DO11_SEZDOC", 1, "A");
    EXPECT_TRUE(decodeQuestions.isEmpty());
}

TEST_F(FilterPanelTest, QualifiersJobsAndSubJobsReachTheDecode) {
    answer(CodeKind::StatisticalGroup, "ST", {"3"}, "Stat 3");
    answer(CodeKind::ProjectClass, "CL", {"B"}, "Classe B");
    answer(CodeKind::Job, "C-01", {"0"}, "Commessa 1");
    answer(CodeKind::Job, "C-01", {"2"}, "Seconda fornitura");
    answer(CodeKind::Supplier, "100", {}, "Zincatura Srl");
    answer(CodeKind::SubProject, "4", {"P1"}, "Sotto 4");
    // Typed in this order (a sub-job or sub-project is decoded within what was typed before it);
    // each side then shows its description.
    const struct {
        const char* field;
        int side;
        const char* value;
        const char* description; // nullptr: not checked
    } rows[] = {
        {"MG66_GRUSTAT3_MG76", 1, "ST", "Stat 3"},       {"PD68_CLASSEB_PD1G", 2, "CL", "Classe B"},
        {"DO41_CODCOMMESSA", 1, "C-01", "Commessa 1"},   {"DO41_CODSCOMMESSA", 1, "2", "Seconda fornitura"},
        {"DO46_CLIFOR_CG44", 1, "100", "Zincatura Srl"}, {"DO41_CODPROGETTO", 2, "P1", nullptr},
        {"DO41_CODSPROGETTO", 2, "4", "Sotto 4"}};
    for (const auto& row : rows)
        type(row.field, row.side, row.value);
    for (const auto& row : rows) {
        if (!row.description)
            continue;
        EXPECT_EQ(row.side == 1 ? panel->fromDescription(row.field) : panel->toDescription(row.field),
                  row.description)
            << row.field;
    }
}

TEST_F(FilterPanelTest, DecodeFailuresAreLoggedOrShownByRoutine) {
    // The decode functions of their own log with their module text and show nothing.
    decodeOf(ParametersPanel::DecodeArticoli)->failure = RuntimeError{3704, "chiusa", {}, {}};
    decodeOf(ParametersPanel::DecodeProgetti)->failure = RuntimeError{3704, "chiusa", {}, {}};
    type("MG66_FAM_MG53", 1, "F1");
    type("PD18_TIPOPROD_PD20", 2, "PF");
    type("DO41_CODPROGETTO", 1, "P1");
    QStringList logged;
    for (const MemoryErrorLog::Record& r : errorLog.records)
        logged << QStringLiteral("%1 %2 %3 %4").arg(r.position, r.moduleText, r.routine).arg(r.error.number);
    EXPECT_EQ(logged, (QStringList{"0_0_0_0 MGUO_KVB_STATIND DecodificaFamiglia 3704",
                                   "0_0_0_0 MGUO_KVB_STATIND DecodificaTipoProdotto 3704",
                                   "0_0_0_0 PDUO_STAVAPROD DecodificaProgetto 3704"}));
    EXPECT_TRUE(messages.boxes().isEmpty());

    // Any other row ends the event with the critical message.
    type("MG66_CODART", 1, "ART-1");
    ASSERT_EQ(messages.boxes().size(), 1);
    const ScriptedMessageService::Record box = messages.boxes().first();
    EXPECT_EQ(box.text, "Error in EnhancedQuery.StartDecode #3704 !!! chiusa !!!");
    EXPECT_EQ(box.textId, 0);
    EXPECT_EQ(box.flags, 16);
    EXPECT_EQ(box.title, screen->windowTitle());
    EXPECT_EQ(errorLog.records.size(), 3);
}

TEST_F(FilterPanelTest, LookupsNarrowByTheParentsOfTheirSideAndNameTheList) {
    panel->setToValue("MG66_FAM_MG53", "F2");
    panel->setToValue("MG66_SFAM_MG54", "S2");
    panel->setFromValue("MG66_GRUPPO_MG55", "G1");
    presenter.pick = "SG7";
    ASSERT_TRUE(panel->requestLookup("MG66_SGRUPPO_MG56", 2));
    ASSERT_EQ(lookupQuestions.size(), 1);
    EXPECT_EQ(lookupQuestions[0].kind, CodeKind::Subgroup);
    EXPECT_EQ(lookupQuestions[0].parentCodes, (QStringList{"F2", "S2", QString()}));
    ASSERT_EQ(presenter.requests.size(), 1);
    const erpctl::LookupRequest& request = presenter.requests[0];
    EXPECT_EQ(request.sql, QStringLiteral("SELECT %1 FOR F2,S2,").arg(int(CodeKind::Subgroup)));
    EXPECT_EQ(request.title, QStringLiteral("Elenco %1").arg(int(CodeKind::Subgroup)));
    ASSERT_EQ(request.columns.size(), 2);
    EXPECT_EQ(request.columns[1].setting, "w=200");
    EXPECT_EQ(request.connectionString, db.connectionString());
    EXPECT_TRUE(request.standardList);
    EXPECT_EQ(panel->lookupName(), QStringLiteral("LOOKUP_%1").arg(int(CodeKind::Subgroup)));
    // The pick is written to the side asked for and described.
    EXPECT_EQ(panel->toValue("MG66_SGRUPPO_MG56"), "SG7");
    EXPECT_EQ(decodeQuestions.last().kind, CodeKind::Subgroup);

    // Sub-jobs within the job of the same side; unrestricted rows pass no parent; the supplier
    // row asks for suppliers.
    panel->setFromValue("DO41_CODCOMMESSA", "C-01");
    presenter.pick.clear();
    panel->requestLookup("DO41_CODSCOMMESSA", 1);
    panel->requestLookup("DO46_CODREPARTO", 1);
    panel->requestLookup("DO46_CLIFOR_CG44", 2);
    panel->requestLookup("MG66_GRUSTAT2_MG75", 1);
    ASSERT_EQ(lookupQuestions.size(), 5);
    EXPECT_EQ(lookupQuestions[1].kind, CodeKind::Job);
    EXPECT_EQ(lookupQuestions[1].parentCodes, QStringList{"C-01"});
    EXPECT_EQ(lookupQuestions[2].kind, CodeKind::Department);
    EXPECT_TRUE(lookupQuestions[2].parentCodes.isEmpty());
    EXPECT_EQ(lookupQuestions[3].kind, CodeKind::Supplier);
    EXPECT_EQ(lookupQuestions[4].parentCodes, QStringList{"2"});
    // Date rows open the calendar, rows without a list offer none: no lookup is asked.
    EXPECT_FALSE(panel->requestLookup("DO11_NUMDOC", 1));
    EXPECT_EQ(lookupQuestions.size(), 5);
}

TEST_F(FilterPanelTest, DocumentCodeOffersTheScreensOwnList) {
    messages.texts.insert(68746, "Elenco Codici Documento");
    messages.texts.insert(12654, "Codice Documento");
    messages.texts.insert(21091, "Descrizione");
    ASSERT_TRUE(panel->requestLookup("DO11_DOCUM_MG36", 1));
    EXPECT_TRUE(lookupQuestions.isEmpty());
    ASSERT_EQ(presenter.requests.size(), 1);
    const erpctl::LookupRequest& request = presenter.requests[0];
    EXPECT_EQ(request.title, "Elenco Codici Documento");
    ASSERT_EQ(request.columns.size(), 2);
    EXPECT_EQ(request.columns[0].caption, "Codice Documento");
    EXPECT_EQ(request.columns[1].caption, "Descrizione");
    EXPECT_TRUE(request.columns[0].setting.isEmpty());
    EXPECT_FALSE(request.standardList);
    EXPECT_EQ(request.connectionString, db.connectionString());
    EXPECT_EQ(panel->lookupName(), "SCADLAV_CODDOC");

    // The list runs on the database: only production and subcontract order types, described
    // for the screen's company.
    db.exec("INSERT INTO MG36_DOCUMENTI (MG36_CODDOCUM, MG36_DESCDOCUM, MG36_TIPODOC, "
            "MG36_STIPODOC, MG36_INDSTAPER) "
            "VALUES ('ODL', 'Ordine di lavoro', 24, 20, 1), ('OCL', 'Ordine c/lavoro', 25, 1, 0), "
            "('OC', 'Ordine cliente', 21, 1, 0), ('ODX', 'Altro', 24, 1, 0)");
    db.exec("INSERT INTO MG37_DOCUMDITTA (MG37_CODDOCUM_MG36, MG37_DITTA_CG18, MG37_DESCDOCUM) "
            "VALUES ('ODL', 3, 'ODL della ditta 3')");
    auto rows = db.connection().execute(request.sql);
    ASSERT_TRUE(rows) << db.connection().lastErrorText().toStdString();
    QStringList listed;
    for (rows->moveFirst(); !rows->eof(); rows->moveNext())
        listed << rows->value(0).toText().trimmed() + QLatin1Char('=') + rows->value(1).toText().trimmed();
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"OCL=Ordine c/lavoro", "ODL=ODL della ditta 3"}));
}

TEST_F(FilterPanelTest, LookupFailureShowsTheMessageAndOffersNoList) {
    for (ScriptedLookup* lookup : lookups)
        lookup->failure = RuntimeError{91, "oggetto assente", {}, {}};
    presenter.pick = "X";
    panel->requestLookup("MG66_FAM_MG53", 1);
    ASSERT_EQ(messages.boxes().size(), 1);
    EXPECT_EQ(messages.boxes()[0].text, "Error in EnhancedQuery.StartLookup #91 !!! oggetto assente !!!");
    EXPECT_EQ(messages.boxes()[0].flags, 16);
    ASSERT_EQ(presenter.requests.size(), 1);
    EXPECT_TRUE(presenter.requests[0].sql.isEmpty());
}

// The values typed go to the server as literals, whatever characters they hold; values that
// cannot be used are refused by the panel, never sent.
TEST_F(FilterPanelTest, ConditionReachesTheServerAsLiterals) {
    for (const char* code : {"A'B", "50%", "[X]", "A", "AB"})
        db.exec(QStringLiteral(
                    "INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_FAM_MG53) VALUES (1, ") +
                QStringLiteral("'%1', 'F')").arg(QString::fromUtf8(code).replace(QLatin1Char('\''), "''")));
    const auto matching = [this](const QString& condition) {
        QStringList codes;
        auto rows = db.connection().execute(
            QStringLiteral("SELECT MG66_CODART FROM MG66_ANAGRART WITH (NOLOCK) WHERE MG66_DITTA_CG18 = 1 ") +
            condition + " ORDER BY MG66_CODART");
        EXPECT_TRUE(rows) << condition.toStdString() << ": " << db.connection().lastErrorText().toStdString();
        if (rows && rows->isOpen())
            for (rows->moveFirst(); !rows->eof(); rows->moveNext())
                codes << rows->value(0).toText();
        return codes;
    };
    for (const QString& code : QStringList{"A'B", "50%", "[X]"}) {
        type("MG66_CODART", 1, code);
        type("MG66_CODART", 2, code);
        ASSERT_TRUE(panel->isValid());
        EXPECT_EQ(matching(schedule_sql::renameFilterFields(panel->conditionText())), QStringList{code});
    }

    // Letters in a number row, an impossible date, a range the wrong way round: refused with
    // a message naming the row, and left out of the condition.
    panel->clear();
    type("DO11_NUMDOC", 1, "12a");
    type("DO11_DATADOC", 1, "31/02/2026");
    type("DO46_CODFASE", 1, "20");
    type("DO46_CODFASE", 2, "10");
    EXPECT_FALSE(panel->isValid());
    const QString problems = panel->validationErrors().join(QLatin1Char('\n'));
    EXPECT_TRUE(problems.contains("Numero Documento")) << problems.toStdString();
    EXPECT_TRUE(problems.contains("Data Documento")) << problems.toStdString();
    EXPECT_TRUE(problems.contains("Fase")) << problems.toStdString();
    EXPECT_EQ(panel->conditionText(), QString());
    // A supplier typed with letters is simply not found: no statement is built for it.
    type("DO46_CLIFOR_CG44", 1, "abc");
    EXPECT_TRUE(messages.boxes().isEmpty());
}

// The host's own lookups and decodes behind the panel, on a demo order book.
class FilterPanelOnHostServicesTest : public FilterPanelScreen {
protected:
    class Boxes : public erphost::IMessageBoxPresenter {
    public:
        QStringList texts;
        int show(const QString& text, int, const QString&) override {
            texts << text;
            return 1;
        }
    };

    FilterPanelOnHostServicesTest() {
        erpdb::registerDatabaseObjects();
        const QString path = dir.filePath("demo.db");
        erpdb::DemoOptions options;
        options.lines = 30;
        options.today = QDate(2026, 3, 15);
        QString error;
        EXPECT_TRUE(erpdb::createDemoDatabase(path, options, false, nullptr, &error)) << error.toStdString();
        factory.registerClass(classnames::Lookup, [] { return std::make_unique<erphost::LookupService>(); });
        factory.registerClass(classnames::Decode, [] { return std::make_unique<erphost::DecodeService>(); });
        openOn(QStringLiteral("Provider=tsqlite;Data Source=") + path, 1, &window);
        EXPECT_TRUE(own.open(global.connection));
    }
    ~FilterPanelOnHostServicesTest() override { close(); }

    QStringList firstRow(const QString& sql) {
        QStringList row;
        auto rs = own.execute(sql);
        EXPECT_TRUE(rs) << own.lastErrorText().toStdString();
        if (rs && rs->isOpen() && rs->recordCount() > 0) {
            rs->moveFirst();
            for (int i = 0; i < rs->fieldCount(); ++i)
                row << rs->value(i).toText().trimmed();
        }
        return row;
    }

    QTemporaryDir dir;
    Boxes boxes;
    erphost::LookupWindow window{boxes};
    db::Connection own;
};

TEST_F(FilterPanelOnHostServicesTest, DescribesAndListsTheDemoCodes) {
    const QStringList family =
        firstRow("SELECT MG53_CODICE, MG53_DESCR FROM MG53_FAMIGLIE WHERE MG53_DITTA_CG18 = 1 ORDER BY "
                 "MG53_CODICE");
    ASSERT_EQ(family.size(), 2);
    type("MG66_FAM_MG53", 1, family[0]);
    EXPECT_EQ(panel->fromDescription("MG66_FAM_MG53"), family[1]);

    const QStringList phase =
        firstRow("SELECT PD12_CODFASE, PD12_DESCR FROM PD12_FASILAVORO WHERE PD12_DITTA_CG18 = 1 ORDER BY 1");
    ASSERT_EQ(phase.size(), 2);
    type("DO46_CODFASE", 1, phase[0]);
    EXPECT_EQ(panel->fromDescription("DO46_CODFASE"), phase[1]);

    // The supplier list of the host, run by its list window; the pick is written and described.
    int listed = 0;
    window.setPicker([&](QWidget*, const erpctl::LookupRequest&, QAbstractItemModel* rows, QString& code) {
        listed = rows->rowCount();
        code = rows->index(0, 0).data().toString().trimmed();
        return true;
    });
    ASSERT_TRUE(panel->requestLookup("DO46_CLIFOR_CG44", 1));
    const QStringList supplier = firstRow(
        "SELECT CG44_CLIFOR, CG16_RAGSOANAG, (SELECT COUNT(*) FROM CG44_CLIFOR WHERE CG44_DITTA_CG18 = 1 "
        "AND CG44_TIPOCF = 1) FROM CG44_CLIFOR INNER JOIN CG16_ANAGGEN ON CG16_CODICE = "
        "CG44_CODICE_CG16 WHERE CG44_DITTA_CG18 = 1 AND CG44_TIPOCF = 1 ORDER BY CG44_CLIFOR");
    ASSERT_EQ(supplier.size(), 3);
    EXPECT_EQ(listed, supplier[2].toInt());
    EXPECT_EQ(panel->fromValue("DO46_CLIFOR_CG44"), supplier[0]);
    EXPECT_EQ(panel->fromDescription("DO46_CLIFOR_CG44"), supplier[1]);
    EXPECT_EQ(panel->lookupName(), "ERPHOST_FORNITORI");

    // The document list of the screen, on the same window: a pick is written and described.
    ASSERT_TRUE(panel->requestLookup("DO11_DOCUM_MG36", 2));
    EXPECT_FALSE(panel->toValue("DO11_DOCUM_MG36").isEmpty());
    EXPECT_FALSE(panel->toDescription("DO11_DOCUM_MG36").isEmpty());
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_TRUE(messages.boxes().isEmpty());
    EXPECT_TRUE(errorLog.records.isEmpty());
}

} // namespace
