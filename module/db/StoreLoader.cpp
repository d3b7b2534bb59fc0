#include "module/db/StoreLoader.h"

namespace scadlav::db {

FieldInfo fieldFromColumn(const ColumnInfo& column) {
    FieldInfo f;
    f.name = QString::fromStdString(column.name);
    f.type = column.type;
    f.definedSize = column.definedSize;
    f.precision = column.precision;
    f.numericScale = column.scale;
    f.baseTable = QString::fromStdString(column.baseTable);
    f.baseColumn = QString::fromStdString(column.baseColumn);
    f.inPrimaryKey = column.inPrimaryKey;
    f.attributes = column.nullable ? (kFldMayBeNull | kFldIsNullable) : 0;
    if (!f.baseTable.isEmpty())
        f.attributes |= kFldUpdatable;
    if (column.inPrimaryKey)
        f.attributes |= kFldKeyColumn;
    const StorageClass cls = storageClassOf(column.type);
    if (cls != StorageClass::Text && cls != StorageClass::Binary && cls != StorageClass::Any)
        f.attributes |= kFldFixed;
    if (column.type == DataType::Char || column.type == DataType::WChar || column.type == DataType::Binary)
        f.attributes |= kFldFixed;
    return f;
}

void StoreLoader::beginResultSet(const std::vector<ColumnInfo>& columns) {
    if (m_store || m_done)
        return;
    std::vector<FieldInfo> fields;
    fields.reserve(columns.size());
    for (const ColumnInfo& c : columns)
        fields.push_back(fieldFromColumn(c));
    m_store = std::make_shared<RowStore>(std::move(fields));
    m_loading = true;
}

void StoreLoader::row(const Cell* cells, std::size_t count) {
    if (m_loading)
        m_store->appendBackendRow(cells, count);
}

void StoreLoader::endResultSet() {
    if (m_loading) {
        m_store->finishLoading();
        m_loading = false;
        m_done = true;
    }
}

std::shared_ptr<RowStore> StoreLoader::take() {
    if (m_loading) { // a backend that did not close the result set
        m_store->finishLoading();
        m_loading = false;
    }
    return std::move(m_store);
}

} // namespace scadlav::db
