// Export of the schedule grid as shown, to CSV and to an Excel workbook.
#include "tests/schedule/query_fixture.h"

#include "platform/controls/Grid.h"
#include "platform/controls/GridBar.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/MachineLocale.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

using namespace scadlav;
using namespace scadlav::testing;

namespace {

// The lines of an exported CSV file, its byte-order mark left out.
QStringList csvLines(const QString& file) {
    QFile in(file);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << file.toStdString();
    return QString::fromUtf8(in.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
}

} // namespace

TEST_F(QueryScreenTest, CsvHoldsTheVisibleColumnsInTheirOrder) {
    addPhase({.key = "A", .forrep = "Rossi, \"Lavorazioni\"", .inWork = "3"});
    open()->results().CMD_ELABORA_ButtonClick();
    screen->controls().GRID_ORD->setColumnVisible(QStringLiteral("PD5C_DESCFASE"), false);

    const QString file = dir.filePath(QStringLiteral("griglia.csv"));
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error)) << error.toStdString();
    const QStringList lines = csvLines(file);
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

TEST_F(QueryScreenTest, AFailedExportKeepsThePreviousFile) {
    for (int i = 0; i < 300; ++i)
        addPhase({.key = QStringLiteral("K%1").arg(i),
                  .sequence = 10 + i,
                  .forrep = QString(40, QLatin1Char('x'))});
    open()->results().CMD_ELABORA_ButtonClick();
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

namespace {

// One part of an Excel package, read with Python's zipfile (the test has no zip reader of its own).
QString packagePart(const QString& file, const QString& part) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, zipfile; "
                                 "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())"),
                  file, part});
    python.waitForFinished(30000);
    return QString::fromUtf8(python.readAllStandardOutput());
}

struct SheetCell {
    QString attributes;
    QString content;
};

// The cells of a worksheet part by reference ("B2").
QMap<QString, SheetCell> sheetCells(const QString& xml) {
    QMap<QString, SheetCell> cells;
    static const QRegularExpression cell(
        QStringLiteral(R"re(<c r="([A-Z]+\d+)"([^>]*?)(?:/>|>(.*?)</c>))re"));
    for (auto it = cell.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        cells.insert(m.captured(1), {m.captured(2), m.captured(3)});
    }
    return cells;
}

} // namespace

TEST_F(QueryScreenTest, ExcelCellsAreNumbersAndDatesWithTheGridsFormats) {
    addPhase({.key = "A", .ordered = "1234.5"});
    open()->results().CMD_ELABORA_ButtonClick();
    const QString file = dir.filePath(QStringLiteral("typed.xlsx"));
    QString error;
    {
        // On an Italian desktop the C library writes numbers with a comma, which a workbook's
        // XML does not allow.
        const MachineLocale italian("it_IT.UTF-8");
        ASSERT_TRUE(screen->results().EsportaGrigliaExcel(file, error)) << error.toStdString();
    }
    EXPECT_FALSE(
        screen->results().EsportaGrigliaExcel(dir.filePath(QStringLiteral("missing/x.xlsx")), error));

    const QString sheet = packagePart(file, QStringLiteral("xl/worksheets/sheet1.xml"));
    const QString styles = packagePart(file, QStringLiteral("xl/styles.xml"));
    ASSERT_FALSE(sheet.isEmpty()) << "python3 could not read the package";
    const QMap<QString, SheetCell> cells = sheetCells(sheet);
    // The row's cell of the column with `caption` in the header row.
    const auto cellUnder = [&cells](const char* caption) {
        static const QRegularExpression header(QStringLiteral("^[A-Z]+1$"));
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            if (header.match(it.key()).hasMatch() &&
                it->content.contains(QStringLiteral(">%1<").arg(caption)))
                return cells.value(it.key().chopped(1) + u'2');
        ADD_FAILURE() << "no column " << caption;
        return SheetCell{};
    };

    // A number is a number (no text type) holding the value, styled with the grid's picture.
    const SheetCell number = cellUnder("T78539");
    EXPECT_FALSE(number.attributes.contains(QStringLiteral("t=\""))) << number.attributes.toStdString();
    EXPECT_EQ(number.content, QStringLiteral("<v>1234.5</v>"));
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"###,###,###,##0.00\"")));
    // A date is a serial day number with a date format: 20/03/2026 is day 46101.
    const SheetCell date = cellUnder("T18354");
    EXPECT_FALSE(date.attributes.contains(QStringLiteral("t=\"")));
    EXPECT_EQ(date.content, QStringLiteral("<v>46101</v>"));
    EXPECT_TRUE(styles.contains(QStringLiteral("formatCode=\"dd/mm/yyyy\"")));
    // A text stays a text.
    EXPECT_TRUE(cellUnder("T27545").content.contains(QStringLiteral("Fornitore")));

    // Bold header frozen at the top, an autofilter over the rows, fitted widths.
    EXPECT_TRUE(sheet.contains(QStringLiteral("ySplit=\"1\"")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<autoFilter ref=\"A1:")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("<cols>")));
    EXPECT_TRUE(styles.contains(QStringLiteral("<b/>")));
}

TEST_F(QueryScreenTest, CsvFollowsTheSessionLanguageAndTheRowsShown) {
    addPhase({.key = "A", .sequence = 10, .forrep = "Rossi", .ordered = "1234.5"});
    addPhase({.key = "B", .sequence = 20, .forrep = "Bianchi; Verdi", .ordered = "7"});
    addPhase({.key = "C", .sequence = 30, .forrep = "Rossi", .ordered = "7"});
    open()->results().CMD_ELABORA_ButtonClick();
    erpctl::Grid& grid = *screen->controls().GRID_ORD;
    grid.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    // The planner sorted by sequence, highest first, and looks only for Rossi.
    grid.sortByField(QStringLiteral("PD5C_SEQUENZA"), Qt::DescendingOrder);
    grid.setQuickSearch(QStringLiteral("rossi"));

    const QString file = dir.filePath(QStringLiteral("italiano.csv"));
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error)) << error.toStdString();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF")); // UTF-8 with its byte-order mark
    const QStringList lines = QString::fromUtf8(bytes).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4); // header, two rows, the empty tail
    const QStringList header = lines[0].split(QLatin1Char(';'));
    const int sequence = int(header.indexOf(QStringLiteral("T51946")));
    const int ordered = int(header.indexOf(QStringLiteral("T78539")));
    const int end = int(header.indexOf(QStringLiteral("T18354")));
    ASSERT_GE(sequence, 0);
    ASSERT_GE(ordered, 0);
    const QStringList first = lines[1].split(QLatin1Char(';'));
    const QStringList second = lines[2].split(QLatin1Char(';'));
    EXPECT_EQ(first.value(sequence), QStringLiteral("30"));
    EXPECT_EQ(second.value(sequence), QStringLiteral("10"));
    EXPECT_EQ(second.value(ordered), QStringLiteral("1234,5")); // decimal comma, no grouping
    EXPECT_EQ(second.value(end), QStringLiteral("20/03/2026"));
}

TEST(ExportPath, TheTypeChosenAddsItsExtension) {
    EXPECT_EQ(ScheduleResults::PercorsoEsportazione("/tmp/fasi", true), "/tmp/fasi.xlsx");
    EXPECT_EQ(ScheduleResults::PercorsoEsportazione("/tmp/fasi", false), "/tmp/fasi.csv");
    EXPECT_EQ(ScheduleResults::PercorsoEsportazione("/tmp/fasi.XLSX", true), "/tmp/fasi.XLSX");
    EXPECT_EQ(ScheduleResults::PercorsoEsportazione("/tmp/fasi.csv", true), "/tmp/fasi.csv.xlsx");
}

// The order detail exports its own grid: the phases of the line shown, in the detail's columns.
TEST_F(QueryScreenTest, TheOrderDetailExportsThePhasesOfItsLine) {
    for (int sequence : {10, 20, 30})
        addPhase(phaseOf(QStringLiteral("R1"), 1, sequence));
    addPhase(phaseOf(QStringLiteral("R1"), 2, 10));
    open()->results().CMD_ELABORA_ButtonClick();
    openDetailOn(QStringLiteral("R1-1-20"));
    ASSERT_TRUE(screen->detail().isOpen());
    EXPECT_FALSE(screen->controls().BAR_GRID_DETT->exportButton()->isHidden());

    const QString file = dir.filePath(QStringLiteral("dettaglio.csv"));
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error, screen->controls().GRID_DETT))
        << error.toStdString();
    const QStringList lines = csvLines(file);
    ASSERT_EQ(lines.size(), 5) << "the header, the three phases of line 1 and the empty tail";
    EXPECT_TRUE(lines[0].contains(QStringLiteral("T51946"))) << "the detail's own columns";
    EXPECT_FALSE(lines[0].contains(QStringLiteral("T78542"))) << "not the schedule's";
}
