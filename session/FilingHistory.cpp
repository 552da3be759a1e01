#include "FilingHistory.h"

#include "store/Store.h"

using namespace Qt::StringLiterals;

namespace {

void forget(QList<KeywordRow>& rows, qint64 id)
{
    rows.removeIf([id](const KeywordRow& r) { return r.id == id; });
}

} // namespace

FilingHistory::FilingHistory(Store& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    connect(&store, &Store::keywordFiled, this, &FilingHistory::filed);
    connect(&store, &Store::keywordDeleted, this, [this](const KeywordRow& row) { deleted(row.id); });
    connect(&store, &Store::allKeywordsDeleted, this, [this] {
        m_filed.clear();
        m_undone.clear();
    });
}

void FilingHistory::filed(const KeywordRow& row)
{
    if (!m_clock.isValid())
        m_clock.start();
    ++m_filings;
    if (row.id == m_redoing)
        forget(m_undone, row.id);
    else
        m_undone.clear();
    // An earlier filing of the same keyword is no longer the row as it stands.
    forget(m_filed, row.id);
    m_filed.append(row);
    if (m_filed.size() > Depth)
        m_filed.removeFirst();
}

void FilingHistory::deleted(qint64 id)
{
    forget(m_filed, id);
    forget(m_undone, id);
}

FilingHistory::Step FilingHistory::undo()
{
    if (m_filed.isEmpty())
        return {};
    const KeywordRow last = m_filed.last();
    const auto back = m_store.unfileKeyword(last.id, last.classcode);
    if (!back)
        return refuse(last, back.error());
    m_filed.removeLast();
    if (*back != Store::Change::Done)
        return refuse(last, u"不能撤销：关键词“"_s + last.keywords + u"”在此后已被删除或改动。"_s);
    m_undone.append(last);
    return {Step::Done, last};
}

FilingHistory::Step FilingHistory::redo()
{
    if (m_undone.isEmpty())
        return {};
    KeywordRow undone = m_undone.last();
    const auto target = m_store.classByCode(undone.classcode);
    const auto row = m_store.keywordById(undone.id);
    if (!target || !row)
        return refuse(undone, !target ? target.error() : row.error());
    QString refused;
    if (!target->has_value())
        refused = u"不能恢复：分类“"_s + undone.classname + u"”已不在数据库中。"_s;
    // The row must still hold the keyword that was taken back.
    else if (!row->has_value() || (*row)->keywords != undone.keywords)
        refused = u"不能恢复：关键词“"_s + undone.keywords + u"”已不在数据库中。"_s;
    if (refused.isEmpty()) {
        // Held first, so that it is not filed under another window of the team that is showing it.
        const auto held = m_store.holdKeyword(undone.id);
        if (!held)
            return refuse(undone, held.error());
        if (!*held)
            refused = u"不能恢复：关键词“"_s + undone.keywords + u"”正由另一个窗口设置。"_s;
    }
    if (!refused.isEmpty()) {
        m_undone.removeLast();
        return refuse(undone, refused);
    }
    // Filed under the class as it is called now.
    undone.classname = (*target)->title;
    m_redoing = undone.id;
    return {Step::Done, undone};
}

FilingHistory::Step FilingHistory::refuse(const KeywordRow& row, const QString& why)
{
    emit refused(why);
    return {Step::Refused, row};
}

void FilingHistory::redone(bool filed)
{
    // Filed, it left the list when the store announced it.
    if (!filed && !m_undone.isEmpty() && m_undone.last().id == m_redoing)
        m_undone.removeLast();
    m_redoing = 0;
}
