// Export of the schedule grid as shown, to CSV and to an Excel workbook.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "tests/support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

using namespace scadlav;
using namespace scadlav::testing;

TEST_F(QueryScreenTest, CsvHoldsTheVisibleColumnsInTheirOrder) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    a.forrep = QStringLiteral("Rossi, \"Lavorazioni\"");
    a.inWork = QStringLiteral("3");
    addPhase(a);
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    screen->controls().GRID_ORD->setColumnVisible(QStringLiteral("PD5C_DESCFASE"), false);

    const QString file = dir.filePath(QStringLiteral("griglia.csv"));
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error)) << error.toStdString();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(in.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 2);
    const QStringList header = lines[0].split(QLatin1Char(','));
    EXPECT_EQ(header.value(0), QStringLiteral("T29710")); // the hidden key column is left out
    EXPECT_FALSE(header.contains(QStringLiteral("T20848")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("E,\"Rossi, \"\"Lavorazioni\"\"\",10,")));
    // Status icons are written as their codes: running and in work gives reminder code 2.
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",nota A")));
    const QStringList tail = lines[1].split(QLatin1Char(','));
    const int fromEnd = int(header.size()) - int(header.indexOf(QStringLiteral("T78542")));
    EXPECT_EQ(tail.value(tail.size() - fromEnd), QStringLiteral("2"));

    QString bad;
    EXPECT_FALSE(screen->results().EsportaGrigliaCsv(dir.filePath(QStringLiteral("missing/x.csv")), bad));
    EXPECT_FALSE(bad.isEmpty());
}

TEST_F(QueryScreenTest, ExcelWorkbookIsWritten) {
    PhaseRow a;
    a.key = QStringLiteral("A");
    addPhase(a);
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    const QString file = dir.filePath(QStringLiteral("griglia.xlsx"));
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaExcel(file, error)) << error.toStdString();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_TRUE(in.read(2) == "PK"); // a zip package
    EXPECT_FALSE(
        screen->results().EsportaGrigliaExcel(dir.filePath(QStringLiteral("missing/x.xlsx")), error));
}

TEST_F(QueryScreenTest, AFailedExportKeepsThePreviousFile) {
    for (int i = 0; i < 300; ++i) {
        PhaseRow row;
        row.key = QStringLiteral("K%1").arg(i);
        row.sequence = 10 + i;
        row.forrep = QString(40, QLatin1Char('x'));
        addPhase(row);
    }
    open();
    screen->results().CMD_ELABORA_ButtonClick();
    QDir folder(dir.filePath(QStringLiteral("out")));
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    for (const QString& name : {QStringLiteral("griglia.csv"), QStringLiteral("griglia.xlsx")}) {
        const QString file = folder.filePath(name);
        {
            QFile good(file);
            ASSERT_TRUE(good.open(QIODevice::WriteOnly));
            good.write("good");
        }
        QString error;
        bool written = true;
        {
            // A disk that fills after 1 KiB.
            const FileSizeLimit full(1024);
            written = name.endsWith(QStringLiteral(".csv"))
                          ? screen->results().EsportaGrigliaCsv(file, error)
                          : screen->results().EsportaGrigliaExcel(file, error);
        }
        EXPECT_FALSE(written) << name.toStdString();
        EXPECT_FALSE(error.isEmpty());
        QFile kept(file);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("good")) << name.toStdString();
        EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden), QStringList{name})
            << "no temporary file left";
        QFile::remove(file);
    }
}
