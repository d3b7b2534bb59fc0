// The batch job "rebuild": the schedule screen's rebuild with the parameters given, its
// confirmation answered Yes.
#include "platform/controls/CheckList.h"
#include "platform/controls/CodeCombo.h"
#include "platform/controls/DateField.h"
#include "platform/host/BatchRunner.h"
#include "platform/host/BatchSession.h"

#include <QPushButton>
#include <cstdio>

namespace erphost {

namespace {

// Text IDs of the rebuild's outcomes.
constexpr int kRebuildDone = 78513;
constexpr int kRebuildNoData = 78512;
constexpr int kRegistryRefused = 78511;

int failure(const char* reason) {
    std::fprintf(stderr, "erp-host: %s\n", reason);
    return kBatchFailed;
}

} // namespace

int BatchRunner::rebuild(BatchSession& session, const BatchRequest& request) {
    auto* minDate = session.control<erpctl::DateField>(QStringLiteral("TXT_DATAMIN"));
    auto* phaseType = session.control<erpctl::CodeCombo>(QStringLiteral("CBO_TIPOLAV"));
    auto* states = session.control<erpctl::CheckList>(QStringLiteral("lstStati"));
    auto* button = session.control<QPushButton>(QStringLiteral("CMD_RICALCOLA"));
    if (!minDate || !phaseType || !states || !button)
        return failure("the schedule screen lacks its rebuild parameters or button");

    if (request.minDate.isValid())
        minDate->setDate(request.minDate);
    if (!request.phaseType.isEmpty() && !phaseType->setText(request.phaseType))
        return failure("the schedule screen does not offer that phase type");
    if (request.states) {
        for (int state = 0; state <= 4; ++state)
            states->setChecked(QStringLiteral("K%1").arg(state), request.states->contains(state));
    }
    if (!button->isEnabled() || button->isHidden())
        return failure("the rebuild button of the schedule screen is not available");

    // The rebuild runs to its end inside the click; its messages tell how it ended.
    button->click();

    const BatchMessageService& messages = session.messages();
    if (messages.wasShown(kRegistryRefused))
        return kBatchRefused;
    if (messages.wasShown(kRebuildDone) || messages.wasShown(kRebuildNoData))
        return kBatchOk;
    std::fprintf(stderr,
                 "erp-host: the rebuild did not complete; see the messages above and the error log %s\n",
                 qPrintable(session.settings().errorLogPath()));
    return kBatchFailed;
}

} // namespace erphost
