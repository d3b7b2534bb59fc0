#include "module/sql/SqlText.h"

#include "module/services/ClassNames.h"
#include "module/services/IDateObject.h"
#include "module/services/INumericFormatter.h"
#include "tests/support/doubles/FakeObjectFactory.h"
#include "tests/support/doubles/ScopedHostRuntime.h"

#include <gtest/gtest.h>

using namespace scadlav;
using namespace scadlav::doubles;

namespace {

// A date object that accepts ISO dates only and writes them as "D:yyyyMMdd".
class StubDate : public IDateObject {
public:
    QString connection;
    void setConnectionString(const QString& c) override { connection = c; }
    void setText(const QString& text) override { m_value = QDateTime::fromString(text, Qt::ISODate); }
    int status() const override { return m_value.isValid() ? StatusValid : StatusInvalid; }
    QDateTime value() const override { return m_value; }
    QString sqlText() const override {
        return QStringLiteral("D:") + m_value.toString(QStringLiteral("yyyyMMdd"));
    }

private:
    QDateTime m_value;
};

class StubNumber : public INumericFormatter {
public:
    Value format(const Value& v) override { return Value(QStringLiteral("N<%1>").arg(v.toText())); }
};

} // namespace

TEST(SqlText, RTrimNReadsFieldsWithoutNull) {
    EXPECT_EQ(RTrimN(Value::null()), QString(""));
    EXPECT_FALSE(RTrimN(Value::null()).isNull());
    EXPECT_EQ(RTrimN(Value()), QString(""));
    EXPECT_EQ(RTrimN(Value(QStringLiteral("  ODL 12   "))), QStringLiteral("  ODL 12"));
    EXPECT_EQ(RTrimN(Value(QStringLiteral("tab\t"))), QStringLiteral("tab\t"));
    EXPECT_EQ(RTrimN(Value(12)), QStringLiteral("12"));
}

TEST(SqlText, NvlAndNvlDopTellBlanksApart) {
    const Value blanks(QStringLiteral("   "));
    EXPECT_EQ(NVL(blanks, Value(0)), blanks);
    EXPECT_EQ(NVL_DOP(blanks, Value(0)), Value(0));
    EXPECT_EQ(NVL(Value::null(), Value(5)), Value(5));
    EXPECT_EQ(NVL(Value(), Value(5)), Value(5));
    EXPECT_EQ(NVL(Value(0), Value(5)), Value(0));
    EXPECT_EQ(NVL_DOP(Value(QStringLiteral(" a ")), Value(0)), Value(QStringLiteral(" a ")));
    EXPECT_EQ(NVL_DOP(Value::null(), Value(QStringLiteral("d"))), Value(QStringLiteral("d")));
}

TEST(SqlText, EscapaReopensTheLiteralAroundEachQuote) {
    EXPECT_EQ(Escapa(QStringLiteral("l'art'")), QStringLiteral("l' + char(39) + 'art' + char(39) + '"));
    EXPECT_EQ(Escapa(QStringLiteral("nessuno")), QStringLiteral("nessuno"));
}

TEST(SqlText, BlankValuesByKindAndNullability) {
    for (const Value& blank : {Value(), Value::null(), Value(QStringLiteral("   "))}) {
        EXPECT_EQ(FormattaValoreSQL(blank, sqlkind::Date, true), Value(QStringLiteral("null")));
        EXPECT_EQ(FormattaValoreSQL(blank, sqlkind::Text, false), Value(QStringLiteral("''")));
        EXPECT_EQ(FormattaValoreSQL(blank, sqlkind::UnicodeText, false), Value(QStringLiteral("N''")));
        EXPECT_TRUE(FormattaValoreSQL(blank, sqlkind::Number, false).isEmpty());
        EXPECT_TRUE(FormattaValoreSQL(blank, sqlkind::Date, false).isEmpty());
    }
}

TEST(SqlText, TextAndNumbersAreQuotedOrConverted) {
    EXPECT_EQ(FormattaValoreSQL(Value(QStringLiteral("dell'ODL ")), sqlkind::Text, true),
              Value(QStringLiteral("'dell''ODL '")));
    EXPECT_EQ(FormattaValoreSQL(Value(QStringLiteral("città")), sqlkind::UnicodeText, false),
              Value(QStringLiteral("N'città'")));
    const Value number = FormattaValoreSQL(Value(QStringLiteral("12.50")), sqlkind::Number, false);
    EXPECT_EQ(number.kind(), Value::Kind::Decimal);
    EXPECT_EQ(number, Value(Decimal(125, 1)));
    EXPECT_TRUE(FormattaValoreSQL(Value(QStringLiteral("dodici")), sqlkind::Number, false).isEmpty());
    EXPECT_TRUE(FormattaValoreSQL(Value(1), 5, false).isEmpty());
    EXPECT_TRUE(FormattaValoreSQL(Value(1), -1, true).isEmpty());
}

TEST(SqlText, DatesAndFormattedNumbersGoThroughTheHostObjects) {
    StubDate date;
    StubNumber number;
    const SqlFormatters given{&number, &date, QString()};
    EXPECT_EQ(FormattaValoreSQL(Value(QStringLiteral("2026-08-31")), sqlkind::Date, true, given),
              Value(QStringLiteral("'D:20260831'")));
    EXPECT_TRUE(
        FormattaValoreSQL(Value(QStringLiteral("31 febbraio")), sqlkind::Date, true, given).isEmpty());
    EXPECT_EQ(FormattaValoreSQL(Value(7), sqlkind::FormattedNumber, false, given),
              Value(QStringLiteral("N<7>")));

    // Without objects at hand, fresh ones come from the host's factory, told the connection.
    FakeObjectFactory factory;
    StubDate* created = nullptr;
    factory.registerClass(classnames::DateObject, [&] {
        auto d = std::make_unique<StubDate>();
        created = d.get();
        return d;
    });
    factory.registerClass(classnames::NumericFormatter, [] { return std::make_unique<StubNumber>(); });
    ScopedHostRuntime runtime(&factory);
    const SqlFormatters none{nullptr, nullptr, QStringLiteral("Provider=tsqlite;Data Source=x")};
    EXPECT_EQ(FormattaValoreSQL(Value(QStringLiteral("2026-01-02")), sqlkind::Date, true, none),
              Value(QStringLiteral("'D:20260102'")));
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->connection, QStringLiteral("Provider=tsqlite;Data Source=x"));
    EXPECT_EQ(FormattaValoreSQL(Value(3), sqlkind::FormattedNumber, false, none),
              Value(QStringLiteral("N<3>")));

    HostRuntime::setObjectFactory(nullptr);
    EXPECT_TRUE(FormattaValoreSQL(Value(QStringLiteral("2026-01-02")), sqlkind::Date, true, none).isEmpty());
}

TEST(SqlText, ParseTableNameKeepsOnlyAsciiLettersDigitsAndHash) {
    EXPECT_EQ(ParseTableName(QStringLiteral("##TempDati_MARIO_PC-01.uff")),
              QStringLiteral("##TempDati_MARIO_PC_01_uff"));
    EXPECT_EQ(ParseTableName(QStringLiteral("Niccolò Però")), QStringLiteral("Niccol__Per_"));
    EXPECT_EQ(ParseTableName(QStringLiteral("15/03/2026 10:30:00")), QStringLiteral("15_03_2026_10_30_00"));
    const QString emoji = QStringLiteral("a\U0001F600b");
    EXPECT_EQ(ParseTableName(emoji).size(), emoji.size());
    EXPECT_EQ(ParseTableName(QString()), QString());
}
