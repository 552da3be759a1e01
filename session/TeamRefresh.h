#pragma once

#include <QObject>

#include <functional>

class QTimer;
class Store;

// What other windows of a team change, gathered: a burst of changes is handed over once it is over.
class TeamRefresh : public QObject
{
    Q_OBJECT
public:
    // Called with whether classes, and whether keywords, changed elsewhere.
    using Refresh = std::function<void(bool classes, bool keywords)>;
    TeamRefresh(Store& store, Refresh refresh, QObject* parent);

private:
    Refresh m_refresh;
    QTimer* m_timer;
    bool m_classes = false;
    bool m_keywords = false;
};
