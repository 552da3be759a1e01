#pragma once

#include <QObject>

class QTimer;
class SortingSession;
class Store;

// What happens to a team's store that a session must follow: what other windows change is shown once a burst of
// changes is over, without moving the operator's selection or current keyword; a connection to the server that
// breaks is said once, and what fails until it is back says nothing more; a keyword the window held that went to
// another window meanwhile makes the loop move on.
class TeamWatch : public QObject
{
    Q_OBJECT
public:
    TeamWatch(SortingSession& session, Store& store);
    // The server cannot be reached now.
    bool offline() const { return m_offline; }

private:
    void refresh();

    SortingSession& m_session;
    QTimer* m_timer;
    bool m_classes = false;
    bool m_keywords = false;
    bool m_offline = false;
};
