#pragma once

#include "module/services/IHostObject.h"
#include "module/value/Value.h"

#include <QString>
#include <cstdint>

namespace scadlav {

class Cinterface;
namespace db {
class Connection;
} // namespace db

// What one phase computation is given, in the order the host's methods take it.
struct PhaseScheduleArgs {
    Value cycle;                   // cycle code of the phase's row, trimmed
    Value billType;                // bill-of-materials type
    Value billCode;                // bill-of-materials code
    Value phaseSequence;           // DO46_CODSEQFASE
    Value phaseCode;               // DO46_CODFASE
    std::int16_t resourceKind = 0; // 1 subcontracted phase, 0 internal phase
    Value resource;                // subcontractor (kind 1) or department (kind 0)
    Value referenceDate;           // start date forward, end date backward
    Value quantity;
    bool resourceChange = false;
    Value billId; // PD95_IDDISBA, or Null when the line has none
};

// The host's phase-scheduling object: computes one phase's start and end forward from a start
// date or backward from an end date, from the routing lead times and the working calendar.
// Failures are reported through Errore() and DescrizioneErroreFase(), never thrown.
class IPhaseScheduler : public IHostObject {
public:
    ~IPhaseScheduler() override;
    virtual void setStringaConnessione(const QString& connectionString) = 0;
    virtual void setConnessione(db::Connection* connection) = 0;
    virtual void setDitta(const Value& company) = 0;
    virtual void setModulo(Cinterface* module) = 0;
    virtual void setCiclo(const Value& cycle) = 0;
    virtual void setOpzione(const Value& option) = 0;
    virtual bool Errore() const = 0;
    virtual QString DescrizioneErroreFase() const = 0;
    // Start of the phase after CalcolaDaInizio, its end after CalcolaDaFine.
    virtual Value DataRiferimento() const = 0;
    virtual Value DataInizioCalcolata() const = 0;
    virtual Value CalcolaDaFine(const PhaseScheduleArgs& args, std::int16_t last) = 0;
    virtual bool CambioFornitore() const = 0;
    virtual Value DataFineCalcolata() const = 0;
    virtual Value CalcolaDaInizio(const PhaseScheduleArgs& args) = 0;
    virtual void setModalita(std::int16_t mode) = 0;
};

} // namespace scadlav
