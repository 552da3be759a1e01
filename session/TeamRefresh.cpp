#include "TeamRefresh.h"

#include "store/Store.h"

#include <QTimer>

namespace {

constexpr int QuietMs = 300;

} // namespace

TeamRefresh::TeamRefresh(Store& store, Refresh refresh, QObject* parent)
    : QObject(parent)
    , m_refresh(std::move(refresh))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this,
            [this] { m_refresh(std::exchange(m_classes, false), std::exchange(m_keywords, false)); });
    connect(&store, &Store::changedElsewhere, this, [this](bool classes, bool keywords) {
        m_classes = m_classes || classes;
        m_keywords = m_keywords || keywords;
        if (!m_timer->isActive())
            m_timer->start(QuietMs);
    });
}
