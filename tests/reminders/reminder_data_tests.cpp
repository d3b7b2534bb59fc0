// The reminder data set: one record per marked row whose supplier is in the company's supplier
// registry, the fields' cuts and nulls, and the splitting of the letter's texts.
#include "tests/reminders/reminder_fixture.h"

#include "module/sql/SqlText.h"
#include "reminders/ReminderData.h"

namespace scadlav::testing {
namespace {

using reminders::CaricaDatiStampa;

class ReminderDataTest : public ReminderScreenTest {
protected:
    // The rows as the screen reads them, under the marked filter, after marking `keys`.
    std::unique_ptr<db::Recordset> dataFor(const QStringList& keys) {
        open();
        mark(keys);
        db::Recordset* rows = screen->reminderRows();
        rows->setFilter(FRMPD_KVB_STSOLL::MarkedFilter);
        auto data = reminders::creaDatiSolleciti();
        CaricaDatiStampa(*rows, *data, db, 1);
        return data;
    }
};

TEST_F(ReminderDataTest, RecordCarriesRowAndAddressWithCutsAndNulls) {
    const QString longMail = QStringLiteral("ufficio.programmazione.produzione@fornitore-esempio.it"); // 54
    addSupplier(501, QStringLiteral("Tornerìa Ÿ \"Ø\" l'Emiliana"), longMail, QStringLiteral("0522 1"),
                QString());
    // No end date.
    addRow({.key = "A",
            .supplier = 501,
            .description = QString(250, QLatin1Char('d')),
            .end = QString(),
            .inWork = "1234.5"});

    auto data = dataFor({QStringLiteral("A")});
    ASSERT_EQ(data->fieldCount(), reminders::kReminderFieldCount);
    EXPECT_EQ(data->fieldInfo(0).name, QStringLiteral("DITTA"));
    EXPECT_EQ(data->fieldInfo(67).name, QStringLiteral("DO11_IDCONT_CO02"));
    ASSERT_EQ(data->recordCount(), 1);
    data->moveFirst();
    // A field missing from the set would read as null: each one asked for must be there.
    auto text = [&](const char* f) {
        EXPECT_GE(data->fieldIndex(QString::fromLatin1(f)), 0) << f;
        return data->value(QString::fromLatin1(f));
    };

    EXPECT_EQ(text("DITTA").toInt32(), 1);
    EXPECT_EQ(text("DO11_CLIFOR_CG44").toInt32(), 501);
    EXPECT_EQ(text("CG16_CODICE").toInt32(), 1501);
    EXPECT_EQ(text("CG16_RAGSOANAG_GEN").toText(), QStringLiteral("Tornerìa Ÿ \"Ø\" l'Emiliana"));
    EXPECT_EQ(text("DO30_DESCART").toText().size(), 200);
    EXPECT_EQ(text("CG16_INDEMAIL").toText(), longMail.left(40));
    // No note is the empty text, not null; no end date is the zero date.
    EXPECT_TRUE(text("DO30_ESTDESCART").isText());
    EXPECT_EQ(text("DO30_ESTDESCART").toText(), QString());
    EXPECT_EQ(text("DATACONS").toDateTime()->date(), QDate(1899, 12, 30));
    // No country code: the left joins give the empty text.
    EXPECT_EQ(text("CG07_DESCR_GEN").toText(), QString());
    EXPECT_EQ(text("CG07_DESCR_COR").toText(), QString());
    // Quantities of 100 and more reach the report whole.
    EXPECT_EQ(text("DO30_QTA1").toDouble(), 1234.5);
    EXPECT_EQ(text("QTA1_RES").toDouble(), 40.0);
    EXPECT_EQ(text("DO30_UM1").toText(), QStringLiteral("PZ"));
    // Fields the reminder does not fill stay null.
    for (const char* f : {"CG16_CITTAEX_GEN", "RITARDO", "DO11_NUMREG_CO99", "DO30_PREZZO1",
                          "DO11_IDCONT_CO02", "DO11_CLIFORDEST", "DO30_QTA2"})
        EXPECT_TRUE(text(f).isNull()) << f;
}

TEST_F(ReminderDataTest, OnlyMarkedRowsOfTheCompanysSuppliersGiveRecords) {
    addSupplier(501, QStringLiteral("Alfa"), QStringLiteral("a@alfa.it"), QString());
    addSupplier(502, QStringLiteral("Beta cliente"), QString(), QString(), QStringLiteral("IT"), 1,
                2); // a customer
    addSupplier(503, QStringLiteral("Gamma altra ditta"), QString(), QString(), QStringLiteral("IT"), 2);
    addRows({{"A1", 501}, {"A2", 501}, {"A3", 501}, {"B", 502}, {"C", 503}, {"D", 0}, {"E", 501}});
    auto data = dataFor({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3"),
                         QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
    EXPECT_EQ(recordRows(data.get()), (QStringList{QStringLiteral("501/ART-A1"), QStringLiteral("501/ART-A2"),
                                                   QStringLiteral("501/ART-A3")}));
    for (data->moveFirst(); !data->eof(); data->moveNext())
        EXPECT_EQ(RTrimN(data->value(QStringLiteral("CG16_RAGSOANAG_GEN"))), QStringLiteral("Alfa"));
}

// The split of a typed text and its trailing blanks are in the print's test; here the bounds.
TEST(ReminderTexts, SplitAt255AndKeepAtMostTwoParts) {
    const QString exactly255(255, QLatin1Char('a'));
    EXPECT_EQ(reminders::dividiTesto(exactly255 + QStringLiteral("   ")),
              std::make_pair(exactly255, QString()));
    const QString long600 = QString(300, QLatin1Char('b')) + QString(300, QLatin1Char('c'));
    EXPECT_EQ(reminders::dividiTesto(long600).second,
              QString(45, QLatin1Char('b')) + QString(210, QLatin1Char('c')));
}

} // namespace
} // namespace scadlav::testing
