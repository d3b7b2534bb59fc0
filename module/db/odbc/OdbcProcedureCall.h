#pragma once

#include "module/db/IBackend.h"
#include "module/db/odbc/OdbcText.h"

#include <sql.h>

#include <string>
#include <string_view>
#include <vector>

namespace scadlav::db::odbc {

// The text of a stored-procedure call with one parameter marker per parameter. SQL Server
// reads the parameters by name ("EXEC dbo.P @Ditta=?, @Utente=?"), so parameters left out keep
// the procedure's defaults; other databases get the ODBC call escape with the parameters in
// the order given. Names are checked, since they are written into the text: false with the
// reason in `problem` for a name that is not an identifier.
bool buildProcedureCall(std::string_view name, const std::vector<ProcedureParameter>& parameters,
                        Dialect dialect, std::string& text, std::string& problem);

// Binds the parameter values to the markers of a call, in order. The buffers the driver reads
// at execution live here, so the binder must outlive the execution.
class OdbcParameterBinder {
public:
    // False with the reason in `errors` when a value cannot be passed (an array, a smallint
    // out of range) or the driver refuses the binding.
    bool bind(SQLHSTMT stmt, const std::vector<ProcedureParameter>& parameters, TextMode mode,
              std::vector<ProviderError>& errors);

private:
    struct Buffer {
        SQLBIGINT integer = 0;
        double real = 0;
        unsigned char bit = 0;
        SQL_TIMESTAMP_STRUCT timestamp{};
        std::string chars;
        WideText wide;
        SQLLEN indicator = 0;
    };
    std::vector<Buffer> m_buffers;
};

} // namespace scadlav::db::odbc
