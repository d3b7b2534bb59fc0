#pragma once
// The list of values offered by a lookup: a searchable table of the rows the host read for the
// request, from which the user picks one; the code is the first column of the picked row.
// A host's ILookupPresenter runs the request's SQL and shows its rows here.

#include "platform/controls/FilterRow.h"

#include <QDialog>

class QAbstractItemModel;
class QLineEdit;
class QTableView;

namespace erpctl {

class LookupDialog : public QDialog {
    Q_OBJECT
public:
    explicit LookupDialog(QWidget* parent = nullptr);
    ~LookupDialog() override;

    // Title and column captions from the request; the row of the current value is chosen.
    void setRequest(const LookupRequest& request);
    // The rows to offer; the dialog does not own the model.
    void setModel(QAbstractItemModel* model);
    // Shows only the rows where some column contains the text (ignoring case).
    void setFilterText(const QString& text);
    int visibleRowCount() const;
    bool selectRow(int visibleRow);
    // Code (first column, trimmed) of the chosen row; "" when none is chosen.
    QString pickedCode() const;

    // Shows the dialog modally; true with the code when the user picked one.
    static bool pick(QWidget* parent, const LookupRequest& request, QAbstractItemModel* model, QString& code);

private:
    void chooseCurrentValue();

    class CaptionProxy;
    CaptionProxy* m_proxy;
    QLineEdit* m_search;
    QTableView* m_table;
    QString m_currentValue;
};

} // namespace erpctl
