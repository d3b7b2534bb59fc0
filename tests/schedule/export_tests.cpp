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
    return QString::fromUtf8(in.readAll()).remove(QChar(0xFEFF)).split("\r\n");
}

} // namespace

TEST_F(QueryScreenTest, CsvHoldsTheVisibleColumnsOfTheRowsShownInTheSessionLanguage) {
    addPhase(
        {.key = "A", .sequence = 10, .forrep = "Rossi; \"Lavorazioni\"", .ordered = "1234.5", .inWork = "3"});
    addPhase({.key = "B", .sequence = 20, .forrep = "Bianchi", .ordered = "7"});
    addPhase({.key = "C", .sequence = 30, .forrep = "Rossi", .ordered = "7"});
    open()->results().CMD_ELABORA_ButtonClick();
    erpctl::Grid& grid = *screen->controls().GRID_ORD;
    grid.setColumnVisible("PD5C_DESCFASE", false);
    const QString file = dir.filePath("griglia.csv");
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error)) << error.toStdString();
    EXPECT_TRUE(csvLines(file).value(0).startsWith("T29710,")) << "a comma without a session language";

    grid.setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    // The planner sorted by sequence, highest first, and looks only for Rossi.
    grid.sortByField("PD5C_SEQUENZA", Qt::DescendingOrder);
    grid.setQuickSearch("rossi");
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error)) << error.toStdString();
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.read(3), QByteArray("\xEF\xBB\xBF")); // UTF-8 with its byte-order mark
    const QStringList lines = csvLines(file);
    ASSERT_EQ(lines.size(), 4); // header, C and A, the empty tail
    const QStringList header = lines[0].split(QLatin1Char(';'));
    EXPECT_EQ(header.value(0), "T29710"); // the hidden key column is left out
    EXPECT_FALSE(header.contains("T20848"));
    EXPECT_EQ(lines[1].split(QLatin1Char(';')).value(int(header.indexOf("T51946"))), "30");
    // A's supplier holds the separator and quotes: quoted, its quotes doubled.
    EXPECT_TRUE(lines[2].startsWith("E;\"Rossi; \"\"Lavorazioni\"\"\";10;")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(";nota A"));
    // A's fields after the supplier, by caption.
    const QStringList fields = lines[2].split(QLatin1Char(';'));
    const auto under = [&](const char* caption) {
        return fields.value(fields.size() - int(header.size()) + int(header.indexOf(caption)));
    };
    EXPECT_EQ(under("T78539"), "1234,5"); // decimal comma, no grouping
    EXPECT_EQ(under("T18354"), "20/03/2026");
    // Status icons are written as their codes: running and in work gives reminder code 2.
    EXPECT_EQ(under("T78542"), "2");

    QString bad;
    EXPECT_FALSE(screen->results().EsportaGrigliaCsv(dir.filePath("missing/x.csv"), bad));
    EXPECT_FALSE(bad.isEmpty());
}

TEST_F(QueryScreenTest, AFailedExportKeepsThePreviousFile) {
    for (int i = 0; i < 300; ++i)
        addPhase({.key = QStringLiteral("K%1").arg(i),
                  .sequence = 10 + i,
                  .forrep = QString(40, QLatin1Char('x'))});
    open()->results().CMD_ELABORA_ButtonClick();
    QDir folder(dir.filePath("out"));
    ASSERT_TRUE(folder.mkpath("."));
    for (const QString& name : QStringList{"griglia.csv", "griglia.xlsx"}) {
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
            written = name.endsWith(".csv") ? screen->results().EsportaGrigliaCsv(file, error)
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
    python.start("python3", {"-c",
                             "import sys, zipfile; "
                             "sys.stdout.write(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())",
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
    const QString file = dir.filePath("typed.xlsx");
    QString error;
    {
        // On an Italian desktop the C library writes numbers with a comma, which a workbook's
        // XML does not allow.
        const MachineLocale italian("it_IT.UTF-8");
        ASSERT_TRUE(screen->results().EsportaGrigliaExcel(file, error)) << error.toStdString();
    }
    EXPECT_FALSE(screen->results().EsportaGrigliaExcel(dir.filePath("missing/x.xlsx"), error));

    const QString sheet = packagePart(file, "xl/worksheets/sheet1.xml");
    const QString styles = packagePart(file, "xl/styles.xml");
    ASSERT_FALSE(sheet.isEmpty()) << "python3 could not read the package";
    const QMap<QString, SheetCell> cells = sheetCells(sheet);
    // The row's cell of the column with `caption` in the header row.
    const auto cellUnder = [&cells](const char* caption) {
        static const QRegularExpression header("^[A-Z]+1$");
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            if (header.match(it.key()).hasMatch() &&
                it->content.contains(QStringLiteral(">%1<").arg(caption)))
                return cells.value(it.key().chopped(1) + u'2');
        ADD_FAILURE() << "no column " << caption;
        return SheetCell{};
    };

    // A number is a number (no text type) holding the value, styled with the grid's picture.
    const SheetCell number = cellUnder("T78539");
    EXPECT_FALSE(number.attributes.contains("t=\"")) << number.attributes.toStdString();
    EXPECT_EQ(number.content, "<v>1234.5</v>");
    EXPECT_TRUE(styles.contains("formatCode=\"###,###,###,##0.00\""));
    // A date is a serial day number with a date format: 20/03/2026 is day 46101.
    const SheetCell date = cellUnder("T18354");
    EXPECT_FALSE(date.attributes.contains("t=\""));
    EXPECT_EQ(date.content, "<v>46101</v>");
    EXPECT_TRUE(styles.contains("formatCode=\"dd/mm/yyyy\""));
    // A text stays a text.
    EXPECT_TRUE(cellUnder("T27545").content.contains("Fornitore"));

    // Bold header frozen at the top, an autofilter over the rows, fitted widths.
    EXPECT_TRUE(sheet.contains("ySplit=\"1\""));
    EXPECT_TRUE(sheet.contains("<autoFilter ref=\"A1:"));
    EXPECT_TRUE(sheet.contains("<cols>"));
    EXPECT_TRUE(styles.contains("<b/>"));
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
        addPhase(phaseOf("R1", 1, sequence));
    addPhase(phaseOf("R1", 2, 10));
    open()->results().CMD_ELABORA_ButtonClick();
    openDetailOn("R1-1-20");
    ASSERT_TRUE(screen->detail().isOpen());
    EXPECT_FALSE(screen->controls().BAR_GRID_DETT->exportButton()->isHidden());

    const QString file = dir.filePath("dettaglio.csv");
    QString error;
    ASSERT_TRUE(screen->results().EsportaGrigliaCsv(file, error, screen->controls().GRID_DETT))
        << error.toStdString();
    const QStringList lines = csvLines(file);
    ASSERT_EQ(lines.size(), 5) << "the header, the three phases of line 1 and the empty tail";
    EXPECT_TRUE(lines[0].contains("T51946")) << "the detail's own columns";
    EXPECT_FALSE(lines[0].contains("T78542")) << "not the schedule's";
}
