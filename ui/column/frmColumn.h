#pragma once

#include "ui/FixedDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// Which column of a CSV file or a workbook holds the keywords, and whether its first row names the columns.
class frmColumn : public FixedDialog
{
    Q_OBJECT
public:
    explicit frmColumn(QWidget* parent = nullptr);

    // Shows the fields of the table's first row to choose from, and how many title rows above it are left out;
    // false when the operator cancelled.
    bool Choose(const QString& fileName, const QStringList& firstRow, qsizetype titleRows = 0);
    int column() const;
    bool skipFirstRow() const;

private:
    QLabel* Label1 = nullptr;
    QComboBox* cboColumn = nullptr;
    QCheckBox* chkHeader = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
};
