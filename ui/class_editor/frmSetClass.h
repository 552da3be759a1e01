#pragma once

#include "store/Store.h"
#include "ui/FixedDialog.h"

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// The class editor: creates a class under a parent, or changes a class's title and quick key.
// One object serves one opening; Add and Edit show it modally and tell whether the store was changed.
class frmSetClass : public FixedDialog
{
    Q_OBJECT
public:
    explicit frmSetClass(Store& conn, QWidget* parent = nullptr);

    // title: what the title box holds at first.
    bool Add(const QString& parentCode, const QString& title = {});
    bool Edit(const QString& code);

private:
    // The row of ClassCode, or nothing after the operator has been told why (missing: the words for a row
    // that is not there).
    std::optional<ClassRow> readClass(const QString& missing);
    void OKButton_Click();
    void CancelButton_Click();

    Store& Conn;
    QString ClassCode;
    int DialogMode = 0;
    qint64 MaxNext = 0;
    QString ClassPath;
    bool Confirmed = false;

    QLabel* Label1 = nullptr;
    QLineEdit* txtTitle = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtKey = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
};
