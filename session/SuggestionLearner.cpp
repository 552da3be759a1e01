#include "SuggestionLearner.h"

#include "store/Store.h"
#include "store/suggest/Suggester.h"
#include "store/suggest/Training.h"

#include <QThread>

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
        // A store that cannot be read leaves a model that has learnt nothing.
        std::shared_ptr<Suggester> suggester;
        if (auto store = openStore(m_location)) {
            if (auto learnt = Training::learnt(**store, &m_stop))
                suggester = std::move(learnt).value();
        }
        if (!m_stop)
            QMetaObject::invokeMethod(
                this, [this, suggester] { adopt(suggester ? suggester : std::make_shared<Suggester>()); },
                Qt::QueuedConnection);
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

Suggester* SuggestionLearner::changing()
{
    // A snapshot handed out is never changed under its reader: the model changes as a copy of its own.
    if (m_suggester && m_suggester.use_count() > 1)
        m_suggester = std::make_shared<Suggester>(*m_suggester);
    return m_suggester.get();
}

void SuggestionLearner::learn(const KeywordRow& row)
{
    if (Suggester* model = changing())
        model->learn(row.classcode, row.keywords);
    else
        m_pending.append({row, true});
}

void SuggestionLearner::forget(const KeywordRow& row)
{
    if (Suggester* model = changing())
        model->forget(row.classcode, row.keywords);
    else
        m_pending.append({row, false});
}

std::shared_ptr<const Suggester> SuggestionLearner::snapshot() const
{
    return m_suggester;
}

QString SuggestionLearner::suggest(const QString& keyword) const
{
    return m_suggester ? m_suggester->suggest(keyword).value(0) : QString();
}
