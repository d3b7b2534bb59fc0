#pragma once

#include "module/db/IBackend.h"
#include "module/db/RowStore.h"

#include <memory>

namespace scadlav::db {

// Builds a row store from the first result set a backend streams; later result sets of the
// same batch are read past.
class StoreLoader : public IRowSink {
public:
    void beginResultSet(const std::vector<ColumnInfo>& columns) override;
    void row(const Cell* cells, std::size_t count) override;
    void endResultSet() override;

    // The loaded rows, nullptr when the statement returned no result set.
    std::shared_ptr<RowStore> take();
    // The rows loaded so far, while a result set is read a slice at a time.
    const std::shared_ptr<RowStore>& current() const { return m_store; }

private:
    std::shared_ptr<RowStore> m_store;
    bool m_loading = false;
    bool m_done = false;
};

FieldInfo fieldFromColumn(const ColumnInfo& column);

} // namespace scadlav::db
