#pragma once
// A small in-memory record set that the record-set tests share.

#include "module/db/Recordset.h"

#include <memory>

namespace scadlav::db::testing {

struct Row {
    Value id, name, qta, data, soll;
};

// Fields ID (int), NAME (nvarchar 40), QTA (decimal 14,3), DATA (date), SOLL (smallint).
inline std::unique_ptr<Recordset> makeSet(const std::vector<Row>& rows) {
    auto rs = std::make_unique<Recordset>();
    rs->appendField("ID", DataType::Integer, 4);
    rs->appendField("NAME", DataType::VarWChar, 40);
    rs->appendField("QTA", DataType::Decimal, 19);
    rs->setPrecision("QTA", 14);
    rs->setNumericScale("QTA", 3);
    rs->appendField("DATA", DataType::DBTimeStamp, 16);
    rs->appendField("SOLL", DataType::SmallInt, 2);
    rs->open();
    for (const Row& r : rows) {
        rs->addNew();
        rs->setValue("ID", r.id);
        rs->setValue("NAME", r.name);
        rs->setValue("QTA", r.qta);
        rs->setValue("DATA", r.data);
        rs->setValue("SOLL", r.soll);
        rs->update();
    }
    rs->moveFirst();
    return rs;
}

inline std::vector<std::int64_t> ids(Recordset& rs) {
    std::vector<std::int64_t> out;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        out.push_back(*rs.value("ID").toInt64());
    return out;
}

} // namespace scadlav::db::testing
