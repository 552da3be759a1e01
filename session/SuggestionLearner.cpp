#include "SuggestionLearner.h"

#include "store/Store.h"
#include "store/suggest/Suggester.h"

#include <QThread>

namespace {

// Learnt when the session begins: at most this many of the newest filed keywords.
constexpr qint64 LearnFrom = 1000000;
// How many unsorted keywords the model looks at once it has learnt.
constexpr int FitOn = 20000;

} // namespace

SuggestionLearner::SuggestionLearner(Store& store, QObject* parent)
    : QObject(parent)
    , m_location(store.location())
{
    connect(&store, &Store::keywordFiled, this, &SuggestionLearner::learn);
    connect(&store, &Store::keywordUnfiled, this, &SuggestionLearner::forget);
    connect(&store, &Store::keywordsFiled, this, [this](const QList<KeywordRow>& rows) {
        for (const KeywordRow& row : rows)
            learn(row);
    });
    connect(&store, &Store::keywordsUnfiled, this, [this](const QList<KeywordRow>& rows) {
        for (const KeywordRow& row : rows)
            forget(row);
    });
}

SuggestionLearner::~SuggestionLearner()
{
    m_stop = true;
    if (m_thread)
        m_thread->wait();
}

void SuggestionLearner::start()
{
    m_thread.reset(QThread::create([this] {
        auto suggester = std::make_shared<Suggester>();
        if (auto store = openStore(m_location)) {
            (void)(*store)->readFiled(LearnFrom, [&](const QString& code, const QString& keyword) {
                suggester->learn(code, keyword);
                return !m_stop;
            });
            // A sample of what waits to be filed sharpens the model and measures how sure it may be.
            if (const auto unsorted = (*store)->pendingKeywords(FitOn); unsorted && !m_stop)
                suggester->fit(*unsorted, &m_stop);
        }
        if (!m_stop)
            QMetaObject::invokeMethod(
                this, [this, suggester] { adopt(suggester); }, Qt::QueuedConnection);
    }));
    // Learning gives way to the operator's own work.
    m_thread->start(QThread::LowestPriority);
}

void SuggestionLearner::adopt(std::shared_ptr<Suggester> suggester)
{
    for (const auto& [row, filed] : std::as_const(m_pending))
        filed ? suggester->learn(row.classcode, row.keywords) : suggester->forget(row.classcode, row.keywords);
    m_pending.clear();
    m_suggester = std::move(suggester);
    emit learnt();
}

void SuggestionLearner::learn(const KeywordRow& row)
{
    m_suggester ? m_suggester->learn(row.classcode, row.keywords) : m_pending.append({row, true});
}

void SuggestionLearner::forget(const KeywordRow& row)
{
    m_suggester ? m_suggester->forget(row.classcode, row.keywords) : m_pending.append({row, false});
}

QString SuggestionLearner::suggest(const QString& keyword) const
{
    return m_suggester ? m_suggester->suggest(keyword).value(0) : QString();
}
