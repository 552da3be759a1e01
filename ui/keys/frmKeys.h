#pragma once

#include "ui/FixedDialog.h"

class QTreeWidget;

// Every key of the program and what it does, the classic ones and the newer ones.
class frmKeys : public FixedDialog
{
    Q_OBJECT
public:
    explicit frmKeys(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidget* lstKeys = nullptr;
};
