#include "ClassLevel.h"

void ClassLevel::fill(const QList<ClassRow>& classes, const QString& selectCode)
{
    m_classes = classes;
    QuickKeys = QStringList(classes.size() + 1);
    for (qsizetype i = 0; i < classes.size(); ++i)
        QuickKeys[i] = classes.at(i).qKey;
    m_selected = classes.isEmpty() ? -1 : 0;
    select(selectCode);
}

bool ClassLevel::select(const QString& code)
{
    for (qsizetype i = 0; i < m_classes.size(); ++i) {
        if (m_classes.at(i).code == code) {
            m_selected = int(i);
            return true;
        }
    }
    return false;
}

const ClassRow* ClassLevel::selectByQuickKey(const QString& character)
{
    // An empty entry, or one of two or more characters, never matches a character typed.
    for (const QString& entry : std::as_const(QuickKeys)) {
        if (entry.isEmpty() || entry != character)
            continue;
        for (qsizetype i = 0; i < m_classes.size(); ++i) {
            if (m_classes.at(i).qKey == entry) {
                m_selected = int(i);
                return &m_classes.at(i);
            }
        }
    }
    return nullptr;
}
