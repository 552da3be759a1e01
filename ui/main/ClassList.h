#pragma once

#include "store/Rows.h"

#include <QTreeWidget>

// ListView2: the classes of one level, each keyed "S" and its code, with the title, the quick key and the child
// counter, which is kept but never seen; the suggested class, or the one it lies under, in green bold.
class ClassList : public QTreeWidget
{
    Q_OBJECT
public:
    explicit ClassList(QWidget* parent);

    // Lists the classes, the selected one current; drawing is not the operator selecting a class.
    void draw(const QList<ClassRow>& classes, int selected);
    void drawSelection(int selected);
    void drawSuggestion(const QString& suggested);
    // The key of the selected item, empty for none.
    QString selectedKey() const;
    static QString keyOf(const QTreeWidgetItem* item) { return item->data(0, KeyRole).toString(); }

private:
    static constexpr int KeyRole = Qt::UserRole;
};
