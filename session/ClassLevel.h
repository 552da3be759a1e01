#pragma once

#include "store/Rows.h"

#include <QList>
#include <QStringList>

// One level of the class tree as the class list shows it: its classes in the order they were made, the one
// selected, and their quick keys in list order followed by one empty entry.
class ClassLevel
{
public:
    // Lists classes with the one of selectCode selected, or the first when it is not among them.
    void fill(const QList<ClassRow>& classes, const QString& selectCode);
    const QList<ClassRow>& classes() const { return m_classes; }
    const QStringList& quickKeys() const { return QuickKeys; }
    // The index of the selected class, -1 for none; the class itself, or nothing.
    int selected() const { return m_selected; }
    const ClassRow* selectedClass() const { return m_selected >= 0 ? &m_classes.at(m_selected) : nullptr; }
    // Selects the class of code; false when the level has none such.
    bool select(const QString& code);
    // Selects the first class of the level whose quick key is the character typed; the ones after it with the
    // same key cannot be reached by it. Nothing when no class has it.
    const ClassRow* selectByQuickKey(const QString& character);

private:
    QList<ClassRow> m_classes;
    QStringList QuickKeys;
    int m_selected = -1;
};
