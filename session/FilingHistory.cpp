#include "FilingHistory.h"

#include "store/Store.h"

#include <QMap>

using namespace Qt::StringLiterals;

namespace {

void forget(QList<FilingHistory::Rows>& steps, qint64 id)
{
    for (FilingHistory::Rows& rows : steps)
        rows.removeIf([id](const KeywordRow& r) { return r.id == id; });
    steps.removeIf([](const FilingHistory::Rows& rows) { return rows.isEmpty(); });
}

// The ids of a step's keywords, class by class.
QMap<QString, QList<qint64>> byClass(const FilingHistory::Rows& rows)
{
    QMap<QString, QList<qint64>> ids;
    for (const KeywordRow& row : rows)
        ids[row.classcode].append(row.id);
    return ids;
}

} // namespace

FilingHistory::FilingHistory(Store& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    connect(&store, &Store::keywordFiled, this, [this](const KeywordRow& row) { filed({row}); });
    connect(&store, &Store::keywordsFiled, this, &FilingHistory::filed);
    connect(&store, &Store::keywordDeleted, this, [this](const KeywordRow& row) { deleted(row.id); });
    connect(&store, &Store::allKeywordsDeleted, this, [this] {
        m_filed.clear();
        m_undone.clear();
    });
}

void FilingHistory::beginStep()
{
    m_open = Rows();
}

void FilingHistory::endStep()
{
    const Rows rows = m_open.value_or(Rows());
    m_open.reset();
    if (!rows.isEmpty())
        filed(rows);
}

void FilingHistory::filed(const Rows& rows)
{
    if (!m_clock.isValid())
        m_clock.start();
    m_filings += rows.size();
    if (m_open) {
        m_open->append(rows);
        return;
    }
    if (!m_redoing)
        m_undone.clear();
    // An earlier filing of the same keyword is no longer the row as it stands.
    for (const KeywordRow& row : rows)
        forget(m_filed, row.id);
    m_filed.append(rows);
    if (m_filed.size() > Depth)
        m_filed.removeFirst();
}

void FilingHistory::deleted(qint64 id)
{
    forget(m_filed, id);
    forget(m_undone, id);
}

FilingHistory::Step FilingHistory::refuse(const Rows& rows, const QString& why)
{
    emit refused(why);
    return {Step::Refused, rows};
}

FilingHistory::Step FilingHistory::undo()
{
    if (m_filed.isEmpty())
        return {};
    const Rows last = m_filed.last();
    if (last.size() > 1)
        return undoMany(last);
    const auto back = m_store.unfileKeyword(last.first().id, last.first().classcode);
    if (!back)
        return refuse(last, back.error());
    m_filed.removeLast();
    if (*back != Store::Change::Done)
        return refuse(last, u"不能撤销：关键词“"_s + last.first().keywords + u"”在此后已被删除或改动。"_s);
    m_undone.append(last);
    return {Step::Done, last};
}

FilingHistory::Step FilingHistory::undoMany(const Rows& rows)
{
    QList<qint64> taken;
    const QMap<QString, QList<qint64>> ids = byClass(rows);
    for (auto it = ids.cbegin(); it != ids.cend(); ++it) {
        const auto back = m_store.unfileKeywords(it.value(), it.key());
        if (!back) {
            emit refused(back.error());
            break;
        }
        taken += *back;
    }
    m_filed.removeLast();
    Rows undone;
    for (const KeywordRow& row : rows) {
        if (taken.contains(row.id))
            undone.append(row);
    }
    if (undone.size() < rows.size())
        emit refused(u"%1 个关键词在此后已被删除或改动，没有撤销。"_s.arg(rows.size() - undone.size()));
    if (undone.isEmpty())
        return {Step::Refused, rows};
    m_undone.append(undone);
    return {Step::Done, undone};
}

FilingHistory::Step FilingHistory::redo()
{
    if (m_undone.isEmpty())
        return {};
    const Rows step = m_undone.takeLast();
    if (step.size() > 1)
        return redoMany(step);
    KeywordRow undone = step.first();
    const auto target = m_store.classByCode(undone.classcode);
    const auto row = m_store.keywordById(undone.id);
    if (!target || !row) {
        m_undone.append(step);
        return refuse(step, !target ? target.error() : row.error());
    }
    if (!target->has_value())
        return refuse(step, u"不能恢复：分类“"_s + undone.classname + u"”已不在数据库中。"_s);
    // The row must still hold the keyword that was taken back.
    if (!row->has_value() || (*row)->keywords != undone.keywords)
        return refuse(step, u"不能恢复：关键词“"_s + undone.keywords + u"”已不在数据库中。"_s);
    // Held first, so that it is not filed under another window of the team that is showing it.
    const auto held = m_store.holdKeyword(undone.id);
    if (!held || !*held)
        return refuse(step,
                      !held ? held.error() : u"不能恢复：关键词“"_s + undone.keywords + u"”正由另一个窗口设置。"_s);
    // Filed under the class as it is called now.
    undone.classname = (*target)->title;
    m_redoing = true;
    return {Step::Done, {undone}};
}

FilingHistory::Step FilingHistory::redoMany(const Rows& rows)
{
    m_redoing = true;
    const auto filed = fileMany(byClass(rows));
    m_redoing = false;
    if (!filed)
        return refuse(rows, filed.error());
    const qint64 missed = rows.size() - filed->filed.size();
    if (missed > 0)
        emit refused(u"%1 个关键词在此后已被删除、改动或正由另一个窗口设置，没有恢复。"_s.arg(missed));
    return {filed->filed.isEmpty() ? Step::Refused : Step::Done, m_filed.isEmpty() ? Rows() : m_filed.last()};
}

Result<BulkFiling> FilingHistory::fileMany(const QMap<QString, QList<qint64>>& idsByClass)
{
    BulkFiling all;
    beginStep();
    Status failed;
    for (auto it = idsByClass.cbegin(); it != idsByClass.cend() && failed; ++it) {
        const auto target = m_store.classByCode(it.key());
        const auto filed = !target ? target.as<BulkFiling>()
            : target->has_value()  ? m_store.fileKeywords(it.value(), it.key(), (*target)->title)
                                   : Result<BulkFiling>(BulkFiling {{}, 0, 0, qint64(it.value().size())});
        if (!filed) {
            failed = Status::of(filed);
            continue;
        }
        all.filed += filed->filed;
        all.held += filed->held;
        all.gone += filed->gone;
        all.classGone += filed->classGone;
    }
    // What was filed before a failure is a step all the same.
    endStep();
    if (!failed)
        return failed.as<BulkFiling>();
    return all;
}

void FilingHistory::redone()
{
    m_redoing = false;
}
