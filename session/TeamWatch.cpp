#include "TeamWatch.h"

#include "KeywordGridModel.h"
#include "SortingSession.h"
#include "store/Store.h"

#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int QuietMs = 300;

} // namespace

TeamWatch::TeamWatch(SortingSession& session, Store& store)
    : QObject(&session)
    , m_session(session)
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TeamWatch::refresh);
    connect(&store, &Store::changedElsewhere, this, [this](bool classes, bool keywords) {
        m_classes = m_classes || classes;
        m_keywords = m_keywords || keywords;
        if (!m_timer->isActive())
            m_timer->start(QuietMs);
    });
    connect(&store, &Store::connectionLost, this, [this](const QString& reason) {
        emit m_session.message(reason);
        m_offline = true;
    });
    connect(&store, &Store::reconnected, this, [this] { m_offline = false; });
    connect(&store, &Store::heldKeywordLost, this, [this](qint64 id) {
        if (id != m_session.keyId())
            return;
        emit m_session.message(u"关键词“"_s + m_session.keyword() + u"”已由另一个窗口设置或删除，换到下一个关键词。"_s);
        m_session.LoadNextKeyword();
    });
}

void TeamWatch::refresh()
{
    // A read that fails here is not the operator's doing: the next command they give reports it.
    if (std::exchange(m_classes, false))
        m_session.LoadClassList(m_session.selCode(), false);
    if (std::exchange(m_keywords, false))
        (void)m_session.gridModel()->refresh();
}
