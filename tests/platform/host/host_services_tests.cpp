// The host's small services: date object, numeric formatter, error and usage logs, object factory,
// message service and boxes, module loader.
#include "platform/host/ConnectionKind.h"
#include "platform/host/DateObject.h"
#include "platform/host/ErrorLog.h"
#include "platform/host/MessageService.h"
#include "platform/host/ModuleLoader.h"
#include "platform/host/NumericFormatter.h"
#include "platform/host/ObjectFactory.h"
#include "platform/host/UsageLog.h"

#include "module/contract/Cinterface.h"
#include "module/services/HostRuntime.h"
#include "tests/support/doubles/FixedClock.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace erphost;
using scadlav::Value;

namespace {

QStringList readLines(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class RecordingPresenter : public IMessageBoxPresenter {
public:
    QString text, title;
    int flags = -1;
    int show(const QString& t, int f, const QString& ti) override {
        text = t;
        flags = f;
        title = ti;
        return 6;
    }
};

} // namespace

TEST(DateObject, WritesTheLiteralTheConnectedServerReads) {
    DateObject sqlServer(QStringLiteral("Driver={FreeTDS};Server=erp;Database=ERP"));
    sqlServer.setText(QStringLiteral("31/08/2026"));
    EXPECT_EQ(sqlServer.status(), 0);
    EXPECT_EQ(sqlServer.sqlText(), QStringLiteral("20260831 00:00:00"));

    DateObject embedded(QStringLiteral("provider = TSQLITE ; Data Source=erp.db"));
    embedded.setText(QStringLiteral("2026-08-31 14:05:09"));
    EXPECT_EQ(embedded.sqlText(), QStringLiteral("2026-08-31 14:05:09"));

    embedded.setText(QStringLiteral("30/02/2026"));
    EXPECT_NE(embedded.status(), 0);
    embedded.setText(QString());
    EXPECT_NE(embedded.status(), 0);

    EXPECT_FALSE(isEmbeddedConnection(QStringLiteral("Data Source=tsqlite")));
}

TEST(NumericFormatter, PlainDecimalNotationOrEmpty) {
    NumericFormatter f;
    EXPECT_EQ(f.format(Value(QStringLiteral("1234.500"))), Value(QStringLiteral("1234.5")));
    EXPECT_EQ(f.format(Value(-3)), Value(QStringLiteral("-3")));
    EXPECT_EQ(f.format(Value(QStringLiteral("1.234,5"))), Value(QStringLiteral("1234.5")));
    EXPECT_TRUE(f.format(Value(QStringLiteral("dodici"))).isEmpty());
}

TEST(LogFiles, ErrorAndUsageRecordsAreOneLineEach) {
    QTemporaryDir dir;
    scadlav::doubles::FixedClock clock(QDateTime(QDate(2026, 5, 4), QTime(8, 9, 10)));
    scadlav::HostRuntime::setClock(&clock);

    const QString errorsPath = dir.filePath("logs/errors.log");
    ErrorLog log(errorsPath);
    log.takeError({13, "Type mismatch\nin row", QString(), {}});
    log.writeRecord("0_0_0_0", "FRMPD_KVB_SCADLAV", "GRID_DETT_Validate");
    log.writeRecord("0_0_0_0", "PDUO_KVB_SCADLAV", "Form_Load");
    // A database error: the short description, then the statement the database ran.
    log.takeError({-2147217913, "Adding a value to a 'datetime' column caused an overflow.", QString(),
                   "UPDATE T SET D = tsql_dateadd('year', ?, D)"});
    log.writeRecord("0_0_0_0", "PDUO_KVB_SCADLAV", "Ricalcolo");
    const QStringList errors = readLines(errorsPath);
    ASSERT_EQ(errors.size(), 3);
    EXPECT_EQ(
        errors[0],
        "2026-05-04 08:09:10\t0_0_0_0\tFRMPD_KVB_SCADLAV\tGRID_DETT_Validate\t13\tType mismatch in row");
    EXPECT_TRUE(errors[1].endsWith("Form_Load\t0\t"));
    EXPECT_TRUE(errors[2].endsWith("caused an overflow.\tUPDATE T SET D = tsql_dateadd('year', ?, D)"));

    UsageLog usage(dir.filePath("usage.log"), 7);
    usage.registerUsage("tsOpen", "Portafoglio ordini", "Stampa solleciti");
    EXPECT_FALSE(usage.cancelClose("Stampa solleciti"));
    EXPECT_EQ(readLines(dir.filePath("usage.log")),
              QStringList{"2026-05-04 08:09:10\t7\ttsOpen\tPortafoglio ordini\tStampa solleciti"});
    scadlav::HostRuntime::setClock(nullptr);
}

TEST(ObjectFactory, CreatesByNameWithoutCase) {
    ObjectFactory factory;
    factory.registerClass("ERPHOST.NumericFormatter", [] { return std::make_unique<NumericFormatter>(); });
    EXPECT_NE(factory.create<scadlav::INumericFormatter>("erphost.numericformatter"), nullptr);
    EXPECT_EQ(factory.create<scadlav::IDateObject>(QStringLiteral("ERPHOST.NumericFormatter")), nullptr);
    EXPECT_EQ(factory.createObject(QStringLiteral("Nessuna.Classe")), nullptr);
}

TEST(MessageService, TextsByIdInTheUserLanguage) {
    const TextCatalog catalog = TextCatalog::fromText(QStringLiteral("78507\tDall'utente %1\tBy user %1\n"));
    RecordingPresenter presenter;
    MessageService english(catalog, Language::English, presenter);
    EXPECT_EQ(english.textById(78507, {Value(QStringLiteral("ROSSI"))}), QStringLiteral("By user ROSSI"));
    EXPECT_EQ(english.messageBoxById(78507, 64, QStringLiteral("Fasi"), {Value(QStringLiteral("ROSSI"))}), 6);
    EXPECT_EQ(presenter.text, QStringLiteral("By user ROSSI"));
    EXPECT_EQ(presenter.flags, 64);
    EXPECT_EQ(presenter.title, QStringLiteral("Fasi"));
    MessageService italian(catalog, Language::Italian, presenter);
    italian.messageBox(QStringLiteral("testo libero"), 16, QStringLiteral("T"), nullptr);
    EXPECT_EQ(presenter.text, QStringLiteral("testo libero"));
}

TEST(MessageBoxes, StyleFlagsMapToButtonsIconAndResultCodes) {
    struct Case {
        int flags;
        QMessageBox::StandardButton press;
        QMessageBox::Icon icon;
        int expected;
    };
    const Case cases[] = {
        {4 + 32, QMessageBox::No, QMessageBox::Question, 7},
        {4, QMessageBox::Yes, QMessageBox::NoIcon, 6},
        {64, QMessageBox::Ok, QMessageBox::Information, 1},
        {1 + 48, QMessageBox::Cancel, QMessageBox::Warning, 2},
        {3 + 16, QMessageBox::Cancel, QMessageBox::Critical, 2},
    };
    QtMessageBoxPresenter presenter;
    for (const Case& c : cases) {
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seenIcon = box->icon();
            box->button(c.press)->click();
        });
        EXPECT_EQ(presenter.show(QStringLiteral("?"), c.flags, QStringLiteral("T")), c.expected) << c.flags;
        EXPECT_EQ(seenIcon, c.icon) << c.flags;
    }
}

TEST(ModuleLoader, CreatesTheModuleClassFromTheLibrary) {
    ModuleLoader missing(QStringLiteral("/nonexistent"), Language::English);
    EXPECT_FALSE(missing.load());
    EXPECT_TRUE(missing.errorString().contains(QStringLiteral("cannot be loaded")));
    EXPECT_EQ(missing.create(), nullptr);

    ModuleLoader loader(QStringLiteral(SCADLAV_BINARY_DIR "/bin"), Language::English);
    ASSERT_TRUE(loader.load()) << loader.errorString().toStdString();
    scadlav::Cinterface* module = loader.create();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->Cinterface_ActiveDll(), module);
    loader.destroy(module);

    QLibrary library(QStringLiteral(SCADLAV_BINARY_DIR "/bin/PDUO_KVB_SCADLAV"));
    auto create =
        reinterpret_cast<PDUO_KVB_SCADLAV_CreateObjectFn>(library.resolve("PDUO_KVB_SCADLAV_CreateObject"));
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create("PDUO_KVB_SCADLAV.ALTRA_CLASSE"), nullptr);
    EXPECT_EQ(create(nullptr), nullptr);
}
