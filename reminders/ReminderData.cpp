#include "reminders/ReminderData.h"

#include "engine/ConnectionError.h"
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/sql/SqlText.h"

#include <QDateTime>

namespace scadlav::reminders {

namespace {

using db::DataType;

enum class Kind { Text, UnicodeText, WideText, Decimal, Date };

struct FieldDef {
    const char* name;
    Kind kind;
    int size;      // characters of a text, declared size of a number
    int precision; // digits of a decimal with a stated precision, 0 otherwise
    int scale;     // its decimals
};

// The layout of the report's data, field by field.
constexpr FieldDef kFields[kReminderFieldCount] = {
    {"DITTA", Kind::Decimal, 5, 0, 0},
    {"DO11_CLIFOR_CG44", Kind::Decimal, 6, 0, 0},
    {"CG16_RAGSOANAG_GEN", Kind::Text, 40, 0, 0},
    {"CG16_RAGSOANAGEX_GEN", Kind::Text, 40, 0, 0},
    {"CG16_INDIRIZZO_GEN", Kind::Text, 40, 0, 0},
    {"CG16_INDIRIZZOEX_GEN", Kind::Text, 40, 0, 0},
    {"CG16_CAP_GEN", Kind::Text, 8, 0, 0},
    {"CG16_CITTA_GEN", Kind::Text, 40, 0, 0},
    {"CG16_CITTAEX_GEN", Kind::Text, 40, 0, 0},
    {"CG16_PROV_GEN", Kind::Text, 2, 0, 0},
    {"CG07_DESCR_GEN", Kind::UnicodeText, 40, 0, 0},
    {"CG16_RAGSOANAG_COR", Kind::Text, 40, 0, 0},
    {"CG16_RAGSOCOREX_COR", Kind::Text, 40, 0, 0},
    {"CG16_INDIRIZZO_COR", Kind::Text, 40, 0, 0},
    {"CG16_INDIRIZZOEX_COR", Kind::Text, 40, 0, 0},
    {"CG16_CAP_COR", Kind::Text, 8, 0, 0},
    {"CG16_CITTA_COR", Kind::Text, 40, 0, 0},
    {"CG16_CITTAEX_COR", Kind::Text, 40, 0, 0},
    {"CG16_PROV_COR", Kind::Text, 2, 0, 0},
    {"CG07_DESCR_COR", Kind::UnicodeText, 40, 0, 0},
    {"DO30_CODART_MG66", Kind::Text, 25, 0, 0},
    {"DO30_OPZIONE_MG5E", Kind::Text, 20, 0, 0},
    {"DO30_DESCART", Kind::WideText, 200, 0, 0},
    {"DO30_ESTDESCART", Kind::WideText, 1600, 0, 0},
    {"DO30_CODARTFOR", Kind::Text, 25, 0, 0},
    {"DO30_UM1", Kind::Text, 3, 0, 0},
    {"DO30_UM2", Kind::Text, 3, 0, 0},
    // The quantities are declared decimal(8,6) in size 14; no scale is imposed, so that
    // quantities of 100 and more reach the report whole.
    {"DO30_QTA1", Kind::Decimal, 14, 0, 0},
    {"DO30_QTA2", Kind::Decimal, 14, 0, 0},
    {"QTA1_RES", Kind::Decimal, 14, 0, 0},
    {"QTA2_RES", Kind::Decimal, 14, 0, 0},
    {"DATACONS", Kind::Date, 0, 0, 0},
    {"RITARDO", Kind::Decimal, 7, 0, 0},
    {"DO11_DOCUM_MG36", Kind::Text, 14, 0, 0},
    {"DO11_DATADOC", Kind::Date, 0, 0, 0},
    {"DO11_NUMDOC", Kind::Decimal, 7, 0, 0},
    {"DO11_SEZDOC", Kind::Text, 2, 0, 0},
    {"DO30_PROGVISUASTA", Kind::Decimal, 6, 0, 0},
    {"DO30_INDTIPORIGA", Kind::Decimal, 2, 0, 0},
    {"ORDINAMENTO", Kind::Text, 40, 0, 0},
    {"CG16_CODICE", Kind::Decimal, 6, 0, 0},
    {"CG16_INDEMAIL", Kind::Text, 40, 0, 0},
    {"CG16_FAXNUM", Kind::Text, 20, 0, 0},
    {"DO35_ALFPERS4", Kind::Text, 72, 0, 0},
    {"DO11_NUMREG_CO99", Kind::Text, 12, 0, 0},
    {"DO30_PROGRIGA", Kind::Decimal, 6, 0, 0},
    {"DO30_PREZZO1", Kind::Decimal, 0, 14, 6},
    {"DO30_PREZZO1IVA", Kind::Decimal, 0, 14, 6},
    {"DO30_PREZZO2", Kind::Decimal, 0, 14, 6},
    {"DO30_PREZZO2IVA", Kind::Decimal, 0, 14, 6},
    {"DO30_IMPORTO", Kind::Decimal, 0, 14, 6},
    {"DO30_IMPORTO_VAL", Kind::Decimal, 0, 14, 6},
    {"DO30_IMPNETSCP", Kind::Decimal, 0, 14, 6},
    {"DO30_IMPNETSCP_VAL", Kind::Decimal, 0, 14, 6},
    {"DO30_SCPER1", Kind::Decimal, 0, 6, 3},
    {"DO30_SCPER2", Kind::Decimal, 0, 6, 3},
    {"DO30_SCPER3", Kind::Decimal, 0, 6, 3},
    {"DO30_SCPER4", Kind::Decimal, 0, 6, 3},
    {"DO30_SCPER5", Kind::Decimal, 0, 6, 3},
    {"DO30_SCPER6", Kind::Decimal, 0, 6, 3},
    {"DO30_SCIMP", Kind::Decimal, 0, 14, 6},
    {"DO30_MAGPER1", Kind::Decimal, 0, 6, 3},
    {"DO30_MAGPER2", Kind::Decimal, 0, 6, 3},
    {"DO30_MAGIMP", Kind::Decimal, 0, 14, 6},
    {"CG16_TEL1NUM", Kind::Text, 20, 0, 0},
    {"PROGETTO", Kind::Text, 25, 0, 0},
    {"DO11_CLIFORDEST", Kind::Text, 4, 0, 0},
    {"DO11_IDCONT_CO02", Kind::Decimal, 12, 0, 0},
};

DataType dataType(Kind kind) {
    switch (kind) {
    case Kind::Text:
        return DataType::Char;
    case Kind::UnicodeText:
        return DataType::WChar;
    case Kind::WideText:
        return DataType::VarWChar;
    case Kind::Decimal:
        return DataType::Decimal;
    case Kind::Date:
        return DataType::Date;
    }
    return DataType::Variant;
}

int textSize(const char* name) {
    for (const FieldDef& f : kFields) {
        if (qstrcmp(f.name, name) == 0)
            return f.kind == Kind::Decimal || f.kind == Kind::Date ? 0 : f.size;
    }
    return 0;
}

[[noreturn]] void failRecordset(const db::Recordset& rs) {
    throw RuntimeException(engine::recordsetError(rs, QStringLiteral("FRMPD_KVB_STSOLL")));
}

[[noreturn]] void failConnection(const db::Connection& connection) {
    throw RuntimeException(engine::connectionError(connection, QStringLiteral("FRMPD_KVB_STSOLL")));
}

std::unique_ptr<db::Recordset> query(db::Connection& connection, const QString& text) {
    std::unique_ptr<db::Recordset> rs = connection.execute(text);
    if (!rs)
        failConnection(connection);
    return rs;
}

// Trailing blanks removed, a null as the empty text, and no more characters than the field
// holds.
Value testo(const Value& source, const char* field) {
    const QString text = RTrimN(source);
    const int size = textSize(field);
    return Value(size > 0 ? text.left(size) : text);
}

// The zero date of the run-time, which a missing end date becomes.
QDateTime zeroDate() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QString indirizzoFornitore(const Value& fornitore, std::int16_t company) {
    return QStringLiteral(
               "SELECT CG16_ANAGGEN.*,GEN.CG07_DESCR AS CG07_GEN,COR.CG07_DESCR AS CG07_COR,CG44_CLIFOR ") +
           CRLF + QStringLiteral("FROM CG16_ANAGGEN WITH (NOLOCK) INNER JOIN CG44_CLIFOR WITH (NOLOCK) ON ") +
           CRLF + QStringLiteral("CG16_CODICE = CG44_CODICE_CG16 ") + CRLF +
           QStringLiteral("LEFT JOIN CG07_TABSTATIEST GEN WITH (NOLOCK) ON ") + CRLF +
           QStringLiteral("GEN.CG07_CODICE = CG16_CODICE_CG07 ") + CRLF +
           QStringLiteral("LEFT JOIN CG07_TABSTATIEST COR WITH (NOLOCK) ON ") + CRLF +
           QStringLiteral("COR.CG07_CODICE = CG16_CODICECOR_CG07 ") + CRLF +
           QStringLiteral("WHERE CG44_TIPOCF = 1 ") + CRLF + QStringLiteral("AND CG44_CLIFOR = ") +
           NVL(fornitore, Value(0)).toText() + CRLF + QStringLiteral("AND CG44_DITTA_CG18 = ") +
           QString::number(company) + CRLF;
}

} // namespace

std::unique_ptr<db::Recordset> creaDatiSolleciti() {
    auto rs = std::make_unique<db::Recordset>();
    for (const FieldDef& f : kFields) {
        const QString name = QString::fromLatin1(f.name);
        rs->appendField(name, dataType(f.kind), f.kind == Kind::Date ? 0 : f.size);
        if (f.precision > 0) {
            rs->setPrecision(name, f.precision);
            rs->setNumericScale(name, f.scale);
        }
    }
    rs->open();
    return rs;
}

void CaricaDatiStampa(db::Recordset& righe, db::Recordset& dati, db::Connection& connection,
                      std::int16_t company) {
    for (; !righe.eof(); righe.moveNext()) {
        const Value fornitore = righe.value(QStringLiteral("PD5C_CLIFOR_CG44"));
        std::unique_ptr<db::Recordset> ind = query(connection, indirizzoFornitore(fornitore, company));
        if (ind->eof())
            continue; // no supplier of that code in the company: no letter for the row

        if (!dati.addNew())
            failRecordset(dati);
        auto set = [&dati](const char* field, const Value& value) {
            if (!dati.setValue(QString::fromLatin1(field), value))
                failRecordset(dati);
        };
        auto fromAddress = [&](const char* field, const char* column) {
            set(field, testo(ind->value(QString::fromLatin1(column)), field));
        };
        auto fromRow = [&](const char* field, const char* column) {
            set(field, testo(righe.value(QString::fromLatin1(column)), field));
        };

        set("DITTA", Value(int(company)));
        set("DO11_CLIFOR_CG44", NVL(fornitore, Value(0)));
        fromAddress("CG16_RAGSOANAG_GEN", "CG16_RAGSOANAG");
        fromAddress("CG16_RAGSOANAGEX_GEN", "CG16_RAGSOANAGEX");
        fromAddress("CG16_INDIRIZZO_GEN", "CG16_INDIRIZZO");
        fromAddress("CG16_INDIRIZZOEX_GEN", "CG16_INDIRIZZOEX");
        fromAddress("CG16_CAP_GEN", "CG16_CAP");
        fromAddress("CG16_CITTA_GEN", "CG16_CITTA");
        fromAddress("CG16_PROV_GEN", "CG16_PROV");
        fromAddress("CG07_DESCR_GEN", "CG07_GEN");
        fromAddress("CG16_RAGSOANAG_COR", "CG16_RAGSOCOR");
        fromAddress("CG16_RAGSOCOREX_COR", "CG16_RAGSOCOREX");
        fromAddress("CG16_INDIRIZZO_COR", "CG16_INDIRCOR");
        fromAddress("CG16_INDIRIZZOEX_COR", "CG16_INDIRCOREX");
        fromAddress("CG16_CAP_COR", "CG16_CAPCOR");
        fromAddress("CG16_CITTA_COR", "CG16_CITTACOR");
        fromAddress("CG16_PROV_COR", "CG16_PROVCOR");
        fromAddress("CG07_DESCR_COR", "CG07_COR");
        fromRow("DO30_CODART_MG66", "PD5C_CODART_MG66");
        fromRow("DO30_OPZIONE_MG5E", "PD5C_OPZIONE_MG5E");
        fromRow("DO30_DESCART", "PD5C_DESCART");
        fromRow("DO30_ESTDESCART", "DO46_NOTECOSTR");
        fromRow("DO30_UM1", "MG66_UM1");
        set("DO30_QTA1", NVL(righe.value(QStringLiteral("PD5C_QTAINLAV")), Value(0)));
        set("QTA1_RES", NVL(righe.value(QStringLiteral("PD5C_QTARES")), Value(0)));
        set("DATACONS", NVL(righe.value(QStringLiteral("PD5C_DATAFINEFASE")), Value(zeroDate())));
        set("CG16_CODICE", NVL(ind->value(QStringLiteral("CG16_CODICE")), Value(0)));
        fromAddress("CG16_INDEMAIL", "CG16_INDEMAIL");
        fromAddress("CG16_FAXNUM", "CG16_FAXNUM");
        fromAddress("CG16_TEL1NUM", "CG16_TEL1NUM");
        if (!dati.update())
            failRecordset(dati);
    }
}

std::unique_ptr<db::Recordset> CaricaLogo_manuale(db::Connection& connection, std::int16_t company) {
    const QString sql =
        QStringLiteral(" SELECT") + QStringLiteral("   CG18_DITTA, ") + QStringLiteral("   CG18_INDIRLEG, ") +
        QStringLiteral("   CG18_CAPLEG, ") + QStringLiteral("   CG18_CITTALEG, ") +
        QStringLiteral("   CG18_PROVLEG, ") + QStringLiteral("   CG16_RAGSOANAG, ") +
        QStringLiteral("   CG16_PARTIVA, ") + QStringLiteral("   CG16_TEL1NUM, ") +
        QStringLiteral("   CG16_FAXNUM, ") + QStringLiteral("   CG16_INDEMAIL, ") +
        QStringLiteral("   CG16_INDWEB ") + QStringLiteral(" FROM") +
        QStringLiteral("   CG18_ANADITTABASE WITH (NOLOCK) ") +
        QStringLiteral(" INNER JOIN CG16_ANAGGEN WITH (NOLOCK) ON CG16_CODICE = CG18_CODICE_CG16 ") +
        QStringLiteral(" WHERE") + QStringLiteral("   CG18_DITTA = ") + QString::number(company);
    return query(connection, sql);
}

std::pair<QString, QString> dividiTesto(const QString& testo) {
    const QString text = RTrimN(Value(testo));
    return {text.left(255), text.mid(255, 255)};
}

} // namespace scadlav::reminders
