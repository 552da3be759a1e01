#pragma once

#include "ui/FixedDialog.h"

class QPlainTextEdit;
class Store;

// A look ahead at the next hundred unsorted keywords, in the order the filing loop will serve them.
class frmNeedSet : public FixedDialog
{
    Q_OBJECT
public:
    explicit frmNeedSet(QWidget* parent = nullptr);

    // Reads the list; false after the operator has been told why it could not be read.
    bool Form_Load(Store& conn);

private:
    QPlainTextEdit* txtKeys = nullptr;
};
