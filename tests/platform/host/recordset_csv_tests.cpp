// The export's CSV written straight from the stored cells must be, byte for byte, the CSV the
// export wrote before through the item model (a value and a text per cell): the writer of
// that time is kept here as the reference.
#include "module/db/Connection.h"
#include "module/db/Recordset.h"
#include "module/db/RecordsetModel.h"
#include "module/value/CsvField.h"
#include "platform/host/RecordsetCsv.h"
#include "tests/support/ErpDbTesting.h"

#include <QBuffer>
#include <QFile>
#include <QStringConverter>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

using scadlav::db::Connection;
using scadlav::db::Recordset;
using scadlav::db::RecordsetModel;

namespace {

// The export as it was: Null empty, a date as yyyy-MM-dd HH:mm:ss, anything else as the model
// shows it, through csvLine and a UTF-8 text stream.
QByteArray modelCsv(const QAbstractItemModel& model) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QTextStream out(&buffer);
    out.setEncoding(QStringConverter::Utf8);
    QStringList line;
    for (int c = 0; c < model.columnCount(); ++c)
        line << model.headerData(c, Qt::Horizontal).toString();
    out << scadlav::csvLine(line);
    for (int r = 0; r < model.rowCount(); ++r) {
        line.clear();
        for (int c = 0; c < model.columnCount(); ++c) {
            const QModelIndex index = model.index(r, c);
            const QVariant raw = model.data(index, Qt::EditRole);
            if (!raw.isValid() || raw.isNull())
                line << QString();
            else if (raw.metaType().id() == QMetaType::QDateTime)
                line << raw.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            else
                line << model.data(index, Qt::DisplayRole).toString();
        }
        out << scadlav::csvLine(line);
    }
    out.flush();
    return buffer.data();
}

QByteArray directCsv(const Recordset& rows, int* written = nullptr) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    int count = -1;
    EXPECT_TRUE(erphost::writeRecordsetCsv(rows, buffer, count));
    if (written)
        *written = count;
    return buffer.data();
}

class RecordsetCsv : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.filePath(QStringLiteral("erp.db"));
        ASSERT_TRUE(QFile::copy(erpdb::testing::demoTemplate(), path));
        ASSERT_TRUE(connection.open(QStringLiteral("Provider=tsqlite;Data Source=") + path))
            << connection.lastErrorText().toStdString();
    }
    void exec(const QString& sql) {
        ASSERT_TRUE(connection.execute(sql, scadlav::db::kCmdTextNoRecords))
            << sql.toStdString() << ": " << connection.lastErrorText().toStdString();
    }

    QTemporaryDir dir;
    QString path;
    Connection connection;
};

TEST_F(RecordsetCsv, EveryKindOfCellIsWrittenAsTheModelWroteIt) {
    exec(QStringLiteral("CREATE TABLE T (ID int, QTA decimal(14,3), PREZZO decimal(18,6), F float, B bit, "
                        "D datetime, S nvarchar(60), N bigint)"));
    exec(QStringLiteral(
        "INSERT INTO T VALUES "
        "(1, 12.5, -0.000001, 0.1, 1, '2026-03-15 10:11:12', 'semplice', -922337203685477580), "
        "(2, -0.5, 1234567.890123, 3, 0, '2018-11-04 00:00:00', 'virgola, dentro', 0), "
        "(3, 0, -7, 1e20, NULL, '1899-12-30 00:00:00', 'virgolette \"doppie\"', NULL), "
        "(4, -12, 0.5, -2.5, 1, '2026-12-31 23:59:59.997', 'riga' + CHAR(13) + CHAR(10) + 'due', 7), "
        "(5, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
        "(6, 99999999999.999, 0, 0, 0, '1753-01-01 00:00:00', N'perché è così', 1), "
        "(7, 1, 1, 1, 1, '2026-03-29 02:30:00', '', 2)"));
    Recordset rs;
    ASSERT_TRUE(rs.open(QStringLiteral("SELECT * FROM T ORDER BY ID"), connection))
        << rs.lastErrorText().toStdString();
    RecordsetModel model(&rs);
    int written = 0;
    const QByteArray direct = directCsv(rs, &written);
    EXPECT_EQ(written, 7);
    EXPECT_EQ(direct.toStdString(), modelCsv(model).toStdString());
    // The cells that decide the format, spelled out (the reference could share a fault).
    EXPECT_TRUE(direct.startsWith("ID,QTA,PREZZO,F,B,D,S,N\r\n1,12.5,-0.000001,0.1,True,2026-03-15 10:11:12,"
                                  "semplice,-922337203685477580\r\n"))
        << direct.left(200).toStdString();
    EXPECT_TRUE(
        direct.contains("\r\n2,-0.5,1234567.890123,3,False,2018-11-04 00:00:00,\"virgola, dentro\",0\r\n"));
    EXPECT_TRUE(direct.contains(",\"virgolette \"\"doppie\"\"\","));
    EXPECT_TRUE(direct.contains(",\"riga\r\ndue\",7\r\n"));
    EXPECT_TRUE(direct.contains("\r\n5,,,,,,,\r\n"));
    EXPECT_TRUE(direct.contains(QStringLiteral(",perché è così,1\r\n").toUtf8()));

    // A filtered, sorted cursor is written in the order it shows.
    ASSERT_TRUE(rs.setFilter(QStringLiteral("ID > 2")));
    ASSERT_TRUE(rs.setSort(QStringLiteral("ID DESC")));
    const QByteArray sorted = directCsv(rs, &written);
    EXPECT_EQ(written, 5);
    EXPECT_EQ(sorted.toStdString(), modelCsv(model).toStdString());
    EXPECT_TRUE(sorted.contains("\r\n7,1,1,1,True,2026-03-29 02:30:00,,2\r\n6,")) << sorted.toStdString();
}

// The demo order book as the schedule's statement joins it: documents, lines and phases with
// their dates, quantities, codes and descriptions.
TEST_F(RecordsetCsv, TheDemoOrderBookIsWrittenAsTheModelWroteIt) {
    Recordset rs;
    ASSERT_TRUE(
        rs.open(QStringLiteral("SELECT * FROM DO46_DOCCORORDDET INNER JOIN DO30_DOCCORPO ON "
                               "DO30_DITTA_CG18 = DO46_DITTA_CG18 AND DO30_NUMREG_CO99 = DO46_NUMREG_CO99 "
                               "AND DO30_PROGRIGA = DO46_PROGRIGA INNER JOIN DO11_DOCTESTATA ON "
                               "DO11_DITTA_CG18 = DO30_DITTA_CG18 AND DO11_NUMREG_CO99 = DO30_NUMREG_CO99 "
                               "ORDER BY DO46_NUMREG_CO99, DO46_PROGRIGA, DO46_CODSEQFASE"),
                connection))
        << rs.lastErrorText().toStdString();
    ASSERT_GT(rs.recordCount(), 1000);
    RecordsetModel model(&rs);
    const QByteArray direct = directCsv(rs);
    EXPECT_EQ(direct.toStdString(), modelCsv(model).toStdString());
}

} // namespace
