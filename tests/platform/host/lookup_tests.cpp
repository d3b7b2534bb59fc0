// The host's lookups, decodes and list window over a demo ERP database.
#include "platform/host/LookupCatalog.h"
#include "platform/host/LookupService.h"
#include "platform/host/LookupTexts.h"
#include "platform/host/LookupWindow.h"
#include "platform/host/MessageBoxes.h"
#include "platform/host/MessageService.h"
#include "platform/host/TextCatalog.h"

#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/services/RuntimeError.h"
#include "platform/controls/LookupDialog.h"
#include "tests/support/ErpDbTesting.h"
#include "tests/support/doubles/FakeGlobalContext.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace erphost;
using scadlav::CodeKind;

namespace {

// One copy of the demo order book for every test of this file.
QString demoConnection() {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("demo.db"));
    static const bool copied = QFile::copy(erpdb::testing::demoTemplate(), path);
    EXPECT_TRUE(copied);
    return QStringLiteral("Provider=tsqlite;Data Source=") + path;
}

class RecordingBoxes : public IMessageBoxPresenter {
public:
    QStringList texts;
    int show(const QString& text, int, const QString&) override {
        texts << text;
        return 1;
    }
};

class LookupTest : public ::testing::Test {
protected:
    LookupTest() {
        global.connection = demoConnection();
        global.company = 1;
        lookup.setGlobalContext(&global);
        decode.setGlobalContext(&global);
        EXPECT_TRUE(connection.open(global.connection)) << connection.lastErrorText().toStdString();
    }

    // Runs a list and returns its rows, each as its columns' trimmed texts.
    QList<QStringList> rowsOf(const scadlav::LookupList& list) {
        QList<QStringList> rows;
        auto rs = connection.execute(list.sql);
        EXPECT_TRUE(rs) << list.sql.toStdString() << "\n" << connection.lastErrorText().toStdString();
        if (!rs || !rs->isOpen())
            return rows;
        EXPECT_EQ(rs->fieldCount(), list.columns.size()) << list.sql.toStdString();
        for (rs->moveFirst(); !rs->eof(); rs->moveNext()) {
            QStringList row;
            for (int i = 0; i < rs->fieldCount(); ++i)
                row << rs->value(i).toText().trimmed();
            rows << row;
        }
        return rows;
    }

    erpctl::LookupRequest requestFor(const QString& caption, const QString& sql) const {
        erpctl::LookupRequest request;
        request.caption = caption;
        request.sql = sql;
        request.connectionString = global.connection;
        return request;
    }

    scadlav::doubles::FakeGlobalContext global;
    LookupService lookup;
    DecodeService decode;
    scadlav::db::Connection connection;
    RecordingBoxes boxes;
    LookupWindow window{boxes};
};

// Every kind's list runs on the ERP schema, its title and captions are the host's catalog texts
// in both languages, and the decode of a listed code (within the parents the list shows) gives
// the description the list shows.
TEST_F(LookupTest, EveryKindListsAndDecodesItsOwnCodesUnderCatalogCaptions) {
    // Every kind of list, with each qualifier that picks another table or column.
    struct KindCase {
        CodeKind kind;
        QStringList qualifier;
        bool demoHasRows;
    };
    QList<KindCase> cases;
    // The demo has rows of these.
    for (CodeKind kind :
         {CodeKind::Article, CodeKind::Family, CodeKind::Customer, CodeKind::Supplier, CodeKind::Document,
          CodeKind::Department, CodeKind::Phase, CodeKind::FixedText, CodeKind::ContactType})
        cases.append({kind, {}, true});
    for (CodeKind kind :
         {CodeKind::Subfamily, CodeKind::Group, CodeKind::Subgroup, CodeKind::ProductType, CodeKind::Origin,
          CodeKind::ArticleState, CodeKind::Job, CodeKind::Project, CodeKind::SubProject, CodeKind::Node,
          CodeKind::ProjectType, CodeKind::ProjectState})
        cases.append({kind, {}, false});
    for (const char* group : {"1", "2", "3", "4"})
        cases.append({CodeKind::StatisticalGroup, {group}, false});
    for (const char* projectClass : {"A", "B", "C"})
        cases.append({CodeKind::ProjectClass, {projectClass}, false});
    cases.append({CodeKind::Job, {"J"}, false});

    const TextCatalog catalog = TextCatalog::builtIn();
    int decoded = 0;
    for (const KindCase& c : cases) {
        SCOPED_TRACE(int(c.kind));
        const std::optional<scadlav::LookupList> list = lookup.list(c.kind, c.qualifier);
        ASSERT_TRUE(list);
        EXPECT_FALSE(list->lookupName.isEmpty());
        EXPECT_TRUE(list->sql.contains(QStringLiteral("WITH (NOLOCK)")));
        QStringList texts{list->title};
        for (const auto& column : list->columns)
            texts << column.caption;
        for (const QString& text : texts) {
            const int id = lookupTextId(text);
            EXPECT_NE(id, 0) << text.toStdString();
            EXPECT_EQ(catalog.rawText(id, Language::Italian), text);
        }
        const QList<QStringList> rows = rowsOf(*list);
        EXPECT_TRUE(!c.demoHasRows || !rows.isEmpty()) << list->sql.toStdString();
        if (rows.isEmpty())
            continue;
        const QStringList first = rows.first();
        const QStringList parents = c.qualifier + first.mid(2);
        const std::optional<QString> description = decode.describe(c.kind, first[0], parents);
        ASSERT_TRUE(description) << first.join(QLatin1Char('|')).toStdString();
        EXPECT_EQ(*description, first[1]);
        ++decoded;
    }
    EXPECT_GE(decoded, 9);

    // With the user's message service the same list speaks the user's language.
    MessageService english(catalog, Language::English, boxes);
    global.messages = &english;
    const auto suppliers = lookup.list(CodeKind::Supplier, {});
    ASSERT_TRUE(suppliers);
    EXPECT_EQ(suppliers->title, "Supplier list");
    EXPECT_EQ(suppliers->columns[0].caption, "Supplier");
    EXPECT_EQ(suppliers->columns[1].caption, "Description");
}

TEST_F(LookupTest, ListsAreForTheContextsCompanyAndNarrowedByParents) {
    const auto suppliers = lookup.list(CodeKind::Supplier, {});
    ASSERT_TRUE(suppliers);
    EXPECT_TRUE(suppliers->sql.contains(QStringLiteral("CG44_CLIFOR.CG44_DITTA_CG18 = 1")));
    EXPECT_TRUE(suppliers->sql.contains(QStringLiteral("CG44_CLIFOR.CG44_TIPOCF = 1")));

    // Sub-jobs of one job; subfamilies of one family; an empty parent does not narrow.
    ASSERT_TRUE(connection.execute("INSERT INTO PD25_COMMESSA (PD25_DITTA_CG18, PD25_CODCOMMESSA, "
                                   "PD25_CODSOTCOMM, PD25_DESCR) VALUES (1, 'J''1', 0, 'Lavoro'), "
                                   "(1, 'J''1', 2, 'Seconda'), (1, 'K', 1, 'Altra'); INSERT INTO "
                                   "MG54_SOTTOFAMIGLIE (MG54_DITTA_CG18, MG54_FAM_MG53, MG54_CODICE, "
                                   "MG54_DESCR) VALUES (1, 'F1', 'S1', 'Uno'), (1, 'F2', 'S1', 'Due')",
                                   scadlav::db::kCmdTextNoRecords))
        << connection.lastErrorText().toStdString();
    const QList<QStringList> subJobs = rowsOf(*lookup.list(CodeKind::Job, {"J'1"}));
    ASSERT_EQ(subJobs.size(), 1);
    EXPECT_EQ(subJobs[0], (QStringList{"2", "Seconda", "J'1"}));
    // No job chosen: the sub-jobs of every job, the demo's ones too.
    const QList<QStringList> allSubJobs = rowsOf(*lookup.list(CodeKind::Job, {QString()}));
    EXPECT_TRUE(allSubJobs.contains(subJobs[0]));
    EXPECT_TRUE(allSubJobs.contains(QStringList{"1", "Altra", "K"}));
    EXPECT_TRUE(rowsOf(*lookup.list(CodeKind::Job, {})).contains(QStringList{"J'1", "Lavoro"}));
    EXPECT_EQ(rowsOf(*lookup.list(CodeKind::Subfamily, {"F2"})).size(), 1);
    EXPECT_GE(rowsOf(*lookup.list(CodeKind::Subfamily, {QString()})).size(), 2);

    // The job decode takes the sub-job number; a sub-family decode its family.
    EXPECT_EQ(decode.describe(CodeKind::Job, "J'1", {}), QStringLiteral("Lavoro"));
    EXPECT_EQ(decode.describe(CodeKind::Job, "J'1", {"2"}), QStringLiteral("Seconda"));
    EXPECT_EQ(decode.describe(CodeKind::Subfamily, "S1", {"F2"}), QStringLiteral("Due"));
    EXPECT_EQ(decode.describe(CodeKind::Subfamily, "S1", {"F9"}), std::nullopt);
}

TEST_F(LookupTest, BadCodesAreNotFoundNeverABrokenStatement) {
    for (const char* code : {"NOPE", "X'Y", "50%", "[A]", "'; DROP TABLE MG53_FAMIGLIE --", "   "})
        EXPECT_EQ(decode.describe(CodeKind::Family, code, {}), std::nullopt) << code;
    // Numeric kinds: letters are no code at all.
    EXPECT_EQ(decode.describe(CodeKind::Phase, "abc", {}), std::nullopt);
    EXPECT_EQ(decode.describe(CodeKind::Supplier, "1; DELETE", {}), std::nullopt);
    EXPECT_EQ(decode.describe(CodeKind::Job, "J", {"x"}), std::nullopt);
    EXPECT_EQ(decode.describe(CodeKind::StatisticalGroup, "A", {"9"}), std::nullopt);
    // A quote in a parent is a character of the parent's code.
    EXPECT_TRUE(rowsOf(*lookup.list(CodeKind::Subgroup, {"F'", "]", "%"})).isEmpty());
    // The family table is still there.
    EXPECT_TRUE(connection.execute(QStringLiteral("SELECT COUNT(*) FROM MG53_FAMIGLIE")));
}

TEST_F(LookupTest, DecodeOnAnUnreachableDatabaseThrowsTheProvidersError) {
    global.connection = "Provider=tsqlite;Data Source=/nonexistent/folder/erp.db";
    decode.setGlobalContext(&global);
    try {
        decode.describe(CodeKind::Family, QStringLiteral("F1"), {});
        FAIL() << "no error";
    } catch (const scadlav::RuntimeException& e) {
        EXPECT_NE(e.error().number, 0);
        EXPECT_FALSE(e.error().description.isEmpty());
    }
}

TEST_F(LookupTest, ListWindowShowsTheRowsAndReturnsThePick) {
    int shownRows = -1;
    QString firstCode;
    window.setPicker([&](QWidget*, const erpctl::LookupRequest&, QAbstractItemModel* rows, QString& code) {
        shownRows = rows->rowCount();
        firstCode = rows->index(0, 0).data().toString().trimmed();
        code = firstCode;
        return true;
    });
    const auto list = lookup.list(CodeKind::Phase, {});
    erpctl::LookupRequest request = requestFor("Fase", list->sql);
    QString picked;
    ASSERT_TRUE(window.present(request, nullptr, picked));
    EXPECT_EQ(shownRows, rowsOf(*list).size());
    EXPECT_GT(shownRows, 0);
    EXPECT_EQ(picked, firstCode);
    EXPECT_TRUE(boxes.texts.isEmpty());

    // No list, a broken list: the user is told, nothing is picked.
    picked.clear();
    request.sql.clear();
    EXPECT_FALSE(window.present(request, nullptr, picked));
    request.sql = QStringLiteral("SELECT NOCOLUMN FROM NOTABLE");
    EXPECT_FALSE(window.present(request, nullptr, picked));
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(picked.isEmpty());
}

// Thousands of codes: the list reads them all and the search narrows them as the user types.
TEST_F(LookupTest, SearchNarrowsALongList) {
    QStringList values;
    for (int i = 1; i <= 5000; ++i)
        values << QStringLiteral("(3, 'LUNGO-%1', 'Articolo %1')").arg(i);
    ASSERT_TRUE(connection.execute(
        "INSERT INTO MG66_ANAGRART (MG66_DITTA_CG18, MG66_CODART, MG66_DESCART) VALUES " + values.join(','),
        scadlav::db::kCmdTextNoRecords))
        << connection.lastErrorText().toStdString();
    global.company = 3;
    const erpctl::LookupRequest request =
        requestFor("Codice articolo", lookup.list(CodeKind::Article, {})->sql);
    QString error;
    auto rows = window.readRows(request, error);
    ASSERT_TRUE(rows) << error.toStdString();
    ASSERT_EQ(rows->recordCount(), 5000);
    scadlav::db::RecordsetModel model(rows.get());
    erpctl::LookupDialog dialog;
    dialog.setModel(&model);
    dialog.setRequest(request);
    dialog.setFilterText("lungo-499");
    EXPECT_EQ(dialog.visibleRowCount(), 11); // 499 and 4990..4999
    dialog.setFilterText("Articolo 4321");
    EXPECT_EQ(dialog.visibleRowCount(), 1);
    EXPECT_EQ(dialog.pickedCode(), "LUNGO-4321");
}

} // namespace
