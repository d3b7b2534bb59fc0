#pragma once
// The rows of the filter panel and the requests it hands to its owner.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace erpctl {

// How a row's values are read and written into the condition.
enum class FilterKind {
    Text,        // a code compared as text
    Number,      // a number written as it is
    Date,        // a day; the condition covers the whole of the "to" day
    ArticleCode, // an article code, compared as text
};

struct FilterRowDefinition {
    QString group = QStringLiteral("Default");
    QString caption;
    QString field; // the SQL expression the condition is written on
    FilterKind kind = FilterKind::Text;
    bool lookup = false;   // a list of values can be asked for (and codes are decoded)
    bool panelFlag = true; // shown at once; rows without it appear under "all filters"
    int rowNumber = 0;
    int maxLength = 0;        // 0: no limit
    QString codeKind;         // the host's kind of code, for the owner's lookups and decodes
    QStringList parentFields; // rows this row's codes depend on, by field
};

// A decode question: the owner fills in the descriptions of the row's codes.
struct DecodeRequest {
    int row = -1;
    QString caption;
    QString field;
    QString fromValue;
    QString toValue;
    // Come in with the descriptions shown; what the owner leaves here is shown.
    QString fromDescription;
    QString toDescription;
};

// One column of a lookup list: its caption and a setting the host's list understands.
struct LookupColumn {
    QString caption;
    QString setting;
};

// A lookup question: the owner describes the list to offer for one side of a row, or picks
// the code itself.
struct LookupRequest {
    int row = -1;
    QString caption;
    QString field;
    int side = 1; // 1 the "from" value, 2 the "to" value
    QString currentValue;
    // Values of the parent rows on the same side, by field.
    QMap<QString, QString> parentValues;
    // Filled in by the owner.
    QString sql;
    QList<LookupColumn> columns;
    QString title;
    QString connectionString;
    QString lookupName;
    // Left true when the host's standard list is used; the owner sets it false when it
    // supplies its own list.
    bool standardList = true;
    // A code the owner picked itself (for example from its own dialog): written to the row.
    QString pickedCode;
};

} // namespace erpctl
