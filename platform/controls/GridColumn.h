#pragma once
// One column of a Grid: which field of the bound model it shows, and how.

#include "platform/controls/NumberPicture.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>

namespace erpctl {

class ImageList;

// What a column shows. The first three carry the host's own kind codes (1 text, 4 date,
// 12 number), so a screen can pass them as numbers too.
enum class ColumnKind : int {
    Text = 1,
    Date = 4,
    Number = 12,
    List = 100,     // a code shown as the caption its value list gives
    Image = 101,    // an integer shown as the image of that index in an image list
    CheckBox = 102, // a 0/1 value shown as a check box
};

// One entry of a list column: a stored code and the caption shown for it.
struct ListItem {
    QVariant code;
    QString caption;
};

struct GridColumn {
    QString field;
    QString caption;
    ColumnKind kind = ColumnKind::Text;
    int widthTwips = 1000;
    bool visible = true;
    QString format; // number picture, or a date format for date columns
    NumberPicture picture;
    QList<ListItem> listItems;
    QPointer<ImageList> images;
    QList<ListItem> imageMeanings; // image columns: what each code's icon means (tooltip, legend)
    bool editable = false; // open to editing (the grid itself must be editable too)
    bool internal = false; // added by the grid itself (selection marks); never saved in layouts
    bool userWidth = false; // widthTwips was set by the user (or a layout they saved): kept as is
    int fitPixels = 0;      // width that shows the caption and the first rows' values
    int sourceColumn = -1; // column of the bound model holding the field, -1 when absent
};

// True when a list code equals a stored value: numerically when both read as numbers (so a
// decimal 2.0 from the database matches code 2), otherwise as texts ignoring case and trailing
// blanks, as the database compares them.
bool listCodeMatches(const QVariant& code, const QVariant& value);

// True for a value a check box shows ticked: non-zero numbers, true, "1"/"-1"/"true".
bool isTicked(const QVariant& value);

} // namespace erpctl
