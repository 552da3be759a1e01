#include "SortingSession.h"

#include "KeywordGridModel.h"
#include "SuggestionLearner.h"
#include "TeamWatch.h"
#include "store/ClassCode.h"
#include "store/Store.h"

using namespace Qt::StringLiterals;

SortingSession::SortingSession(Store& conn, QObject* parent)
    : QObject(parent)
    , Conn(conn)
    , m_grid(new KeywordGridModel(conn, this))
    , m_history(new FilingHistory(conn, this))
    , m_learner(new SuggestionLearner(conn, this))
    , m_team(new TeamWatch(*this, conn))
{
    // The grid, the history and the suggestions follow the store.
    connect(m_grid, &KeywordGridModel::readFailed, this, &SortingSession::storeFailed);
    connect(m_learner, &SuggestionLearner::learnt, this, &SortingSession::showSuggestion);
    connect(m_history, &FilingHistory::refused, this, &SortingSession::message);
}

void SortingSession::storeFailed(const QString& error)
{
    if (!m_team->offline())
        emit message(error);
}

void SortingSession::check(const Status& done)
{
    if (!done)
        storeFailed(done.error());
}

void SortingSession::Form_Load()
{
    LoadClassList();
    LoadNextKeyword();
    m_learner->start();
}

bool SortingSession::LoadClassList(const QString& keep, bool failureShown)
{
    const auto classes = Conn.classesUnder(ParentCode);
    if (!classes) {
        if (failureShown)
            storeFailed(classes.error());
        return false;
    }
    m_level.fill(*classes, keep);
    SelCode.clear();
    emit classesChanged();
    showSuggestion();
    // With a class selected the grid follows it; an empty level leaves the grid as it was.
    if (const ClassRow* selected = m_level.selectedClass()) {
        SelCode = selected->code;
        LoadClassKeywords();
    }
    emit navigationChanged();
    return true;
}

void SortingSession::GoDown()
{
    if (const ClassRow* selected = m_level.selectedClass())
        listLevel(selected->code);
}

void SortingSession::GoUp()
{
    listLevel(ClassCode::parentCode(ParentCode));
}

bool SortingSession::listLevel(const QString& parentCode)
{
    const QString previous = std::exchange(ParentCode, parentCode);
    if (LoadClassList())
        return true;
    ParentCode = previous;
    return false;
}

void SortingSession::ItemClick(const QString& code)
{
    if (!m_level.select(code))
        return;
    emit selectionChanged();
    if (code == SelCode)
        return;
    SelCode = code;
    LoadClassKeywords();
    emit navigationChanged();
}

void SortingSession::DeleteClass()
{
    if (!m_level.selectedClass())
        return;
    const auto deleted = Conn.deleteClassIfEmpty(m_level.selectedClass()->code);
    if (!deleted)
        return storeFailed(deleted.error());
    if (*deleted == Store::ClassDeletion::NotEmpty)
        return emit message(u"分类不为空，不能删除！"_s);
    LoadClassList();
}

void SortingSession::setKeyword(qint64 id, const QString& keyword)
{
    KeyId = id;
    m_keyword = keyword;
    emit keywordChanged();
    showSuggestion();
}

void SortingSession::LoadNextKeyword()
{
    const auto next = Conn.nextUnsorted();
    if (!next)
        return storeFailed(next.error());
    if (!next->has_value()) {
        emit message(u"所有关键词已设置完毕！"_s);
        return setKeyword(0, {});
    }
    setKeyword((*next)->id, (*next)->keywords);
}

void SortingSession::AssignKeyword()
{
    if (KeyId == 0)
        return emit message(u"没有需要设定的关键词！"_s);
    const ClassRow* target = m_level.selectedClass();
    if (SelCode.isEmpty() || !target)
        return emit message(u"请选择关键词分类！"_s);
    fileInto(KeyId, target->code, target->title);
}

bool SortingSession::fileInto(qint64 id, const QString& code, const QString& title)
{
    const auto filed = Conn.fileKeyword(id, code, title);
    if (!filed) {
        storeFailed(filed.error());
        return false;
    }
    if (*filed == Store::Change::ClassGone) {
        emit message(u"分类“"_s + title + u"”已不在数据库中，关键词没有设置。"_s);
        return false;
    }
    if (*filed != Store::Change::Done)
        emit message(*filed == Store::Change::Gone ? u"当前关键词已不在数据库中，没有设置。"_s
                                                   : u"当前关键词已被设置到分类中，没有再次设置。"_s);
    // Only the current keyword moves the loop on: a keyword filed again by Ctrl+Y may be another.
    if (id == KeyId)
        LoadNextKeyword();
    return *filed == Store::Change::Done;
}

bool SortingSession::KeyPress(const QString& character)
{
    const ClassRow* match = m_level.selectByQuickKey(character);
    if (!match)
        return false;
    emit selectionChanged();
    // A class that ever had a child is a level to go down into, never a class to file into.
    if (match->maxnext != 0) {
        GoDown();
        return true;
    }
    SelCode = match->code;
    AssignKeyword();
    LoadClassKeywords();
    return true;
}

void SortingSession::LoadClassKeywords()
{
    if (SelCode.isEmpty())
        return;
    // The grid already shows this subtree: it changes by the rows written since.
    check(m_grid->loadedCode() == SelCode ? m_grid->sync() : m_grid->load(SelCode));
}

void SortingSession::TakeBack(int gridRow)
{
    const KeywordRow* shown = m_grid->rowAt(gridRow);
    if (!shown)
        return;
    const KeywordRow row = *shown;
    const auto returned = Conn.unfileKeyword(row.id, row.classcode);
    if (!returned)
        return storeFailed(returned.error());
    if (*returned == Store::Change::Done) {
        setKeyword(row.id, row.keywords);
        return LoadClassKeywords();
    }
    emit message(*returned == Store::Change::Gone ? u"这个关键词已不在数据库中。"_s
                                                  : u"这个关键词已不在这个分类中。"_s);
    // Someone else changed the row: the grid is read again.
    check(m_grid->refresh());
}

void SortingSession::DeleteKeyword()
{
    const auto deleted = Conn.deleteKeyword(KeyId);
    if (!deleted)
        return storeFailed(deleted.error());
    if (KeyId != 0 && *deleted != Store::Change::Done)
        emit message(*deleted == Store::Change::Gone ? u"当前关键词已不在数据库中。"_s
                                                     : u"当前关键词已被设置到分类中，没有删除。"_s);
    LoadNextKeyword();
}

void SortingSession::DeleteAllKeywords()
{
    if (const Status deleted = Conn.deleteAllKeywords(); !deleted)
        return storeFailed(deleted.error());
    // Every keyword is gone, so the grid lists none, whether a class is selected or not.
    check(m_grid->sync());
    setKeyword(0, {});
}

void SortingSession::showSuggestion()
{
    m_suggested = KeyId != 0 ? m_learner->suggest(m_keyword) : QString();
    emit suggestionChanged();
}

std::shared_ptr<const Suggester> SortingSession::suggester() const
{
    return m_learner->snapshot();
}

void SortingSession::AcceptSuggestion()
{
    if (KeyId == 0)
        return emit message(u"没有需要设定的关键词！"_s);
    if (m_suggested.isEmpty())
        return emit message(u"还没有建议的分类：已设置的关键词太少。"_s);
    const QString code = m_suggested;
    const auto target = Conn.classByCode(code);
    if (!target)
        return storeFailed(target.error());
    if (!target->has_value())
        return emit message(u"建议的分类已不在数据库中。"_s);
    fileInto(KeyId, code, (*target)->title);
    LoadClassKeywords();
}

void SortingSession::ShowFound(const KeywordRow& row)
{
    if (row.isSet != 1 || row.classcode.isEmpty()) {
        // Unsorted: it becomes the current keyword, unless another window of the team holds it.
        const auto held = Conn.holdKeyword(row.id);
        if (!held)
            return storeFailed(held.error());
        if (!*held)
            return emit message(u"关键词“"_s + row.keywords + u"”正由另一个窗口设置，或已不是未分类的关键词。"_s);
        return setKeyword(row.id, row.keywords);
    }
    // Filed: its class is selected at its own level, and its row in the grid.
    if (!listLevel(ClassCode::parentCode(row.classcode)))
        return;
    ItemClick(row.classcode);
    if (SelCode != row.classcode)
        return emit message(u"关键词“"_s + row.keywords + u"”所在的分类已不在分类列表中。"_s);
    const auto position = m_grid->rowOf(row.classcode, row.id);
    if (!position)
        return storeFailed(position.error());
    emit gridRowFound(int(*position));
}
