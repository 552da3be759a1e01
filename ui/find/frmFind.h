#pragma once

#include "store/Rows.h"
#include "ui/FixedDialog.h"

#include <optional>

class QLabel;
class QLineEdit;
class QTreeWidget;
class Store;

// Finds keywords by part of their text as the operator types, and lists them with the class each is filed
// in and its monthly searches, where its file gave them. Choosing one (Enter or a double-click) closes the window and
// gives it to the main window.
class frmFind : public FixedDialog
{
    Q_OBJECT
public:
    // At most this many matches are listed.
    static constexpr int Shown = 200;

    explicit frmFind(Store& conn, QWidget* parent = nullptr);

    // Shows the window modally; the keyword chosen, or nothing.
    std::optional<FoundKeyword> Choose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void txtFind_Change();
    void choose();

    Store& Conn;
    QList<FoundKeyword> m_found;
    std::optional<FoundKeyword> m_chosen;

    QLabel* Label1 = nullptr;
    QLineEdit* txtFind = nullptr;
    QTreeWidget* lstFound = nullptr;
    QLabel* lblCount = nullptr;
};
