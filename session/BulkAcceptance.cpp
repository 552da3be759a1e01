#include "BulkAcceptance.h"

#include "SortingSession.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "store/suggest/Suggester.h"
#include "store/suggest/Training.h"

#include <algorithm>

using namespace Qt::StringLiterals;

BulkAcceptance::BulkAcceptance(SortingSession& session, Store& store, QObject* parent)
    : QAbstractItemModel(parent)
    , m_session(session)
    , m_store(store)
{ }

BulkAcceptance::~BulkAcceptance()
{
    m_cancel = true;
    if (m_worker.joinable())
        m_worker.join();
}

void BulkAcceptance::start()
{
    m_model = m_session.suggester();
    QStringList subtrees;
    for (const ClassRow& c : m_session.classes()) {
        subtrees << c.code;
        // A class that ever had a child is a level to go down into, as its quick key says.
        m_groups.append({c, c.maxnext != 0, {}, 0});
    }
    if (const auto parent = m_store.classByCode(m_session.parentCode()); parent && parent->has_value())
        m_levelPath = ClassCode::shownPath((*parent)->path);
    if (!m_model)
        m_state = State::Learning;
    else if (m_model->keywords() == 0)
        m_state = State::NothingFiled;
    else if (subtrees.isEmpty())
        m_state = State::NoClasses;
    // A keyword of no features scores each class by what it learnt alone: none there, nothing learnt there.
    else if (m_model->bestAmong({}, subtrees).code.isEmpty())
        m_state = State::NothingFiledHere;
    else
        m_state = State::Scoring;
    if (m_state != State::Scoring) {
        m_model.reset();
        return emit changed();
    }
    m_worker = std::thread([this, location = m_store.location(), subtrees, model = m_model] {
        const auto take = [this](QList<Training::Scored>&& batch) {
            QMetaObject::invokeMethod(
                this,
                [this, batch = std::move(batch)] {
                    for (const Training::Scored& s : batch) {
                        if (s.target >= 0 && s.confidence >= LeastThreshold)
                            m_groups[s.target].items.append({s.id, s.keyword, s.confidence});
                    }
                },
                Qt::QueuedConnection);
        };
        const auto progress = [this](qint64 done, qint64 total) {
            QMetaObject::invokeMethod(
                this,
                [this, done, total] {
                    m_scored = done;
                    m_total = total;
                    emit progressed();
                },
                Qt::QueuedConnection);
        };
        auto store = openStore(location);
        const Status done
            = store ? Training::scoreUnsorted(**store, *model, subtrees, take, m_cancel, progress) : Status::of(store);
        QMetaObject::invokeMethod(
            this, [this, done] { finish(done); }, Qt::QueuedConnection);
    });
    emit changed();
}

void BulkAcceptance::stop()
{
    m_cancel = true;
}

void BulkAcceptance::finish(const Status& done)
{
    m_worker.join();
    // Later filings must not copy the model for a reader that is gone.
    m_model.reset();
    m_state = !done ? State::Failed : m_cancel ? State::Stopped : State::Done;
    if (!done)
        m_error = done.error();
    for (Group& g : m_groups) {
        std::stable_sort(g.items.begin(), g.items.end(),
                         [](const Candidate& a, const Candidate& b) { return a.confidence < b.confidence; });
    }
    beginResetModel();
    placeThreshold();
    endResetModel();
    emit changed();
}

void BulkAcceptance::placeThreshold()
{
    m_shown.clear();
    for (qsizetype g = 0; g < m_groups.size(); ++g) {
        Group& group = m_groups[g];
        group.first = std::partition_point(group.items.cbegin(), group.items.cend(),
                                           [this](const Candidate& c) { return c.confidence < m_threshold; })
            - group.items.cbegin();
        if (!group.deeper && group.shown() > 0)
            m_shown.append(int(g));
    }
}

void BulkAcceptance::setThreshold(double threshold)
{
    threshold = std::max(threshold, LeastThreshold);
    if (threshold == m_threshold)
        return;
    m_threshold = threshold;
    // Nothing is listed while scoring goes on: the threshold is placed when it ends.
    if (m_state == State::Scoring)
        return emit changed();
    beginResetModel();
    placeThreshold();
    endResetModel();
    emit changed();
}

qint64 BulkAcceptance::listed() const
{
    qint64 n = 0;
    for (const int g : m_shown)
        n += m_groups.at(g).shown();
    return n;
}

qint64 BulkAcceptance::deeper() const
{
    qint64 n = 0;
    for (const Group& g : m_groups)
        n += g.deeper ? g.shown() : 0;
    return n;
}

const BulkAcceptance::Group* BulkAcceptance::groupOf(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    // A class row's id is 0; a keyword row's is its group's index and one.
    const int g = index.internalId() == 0 ? m_shown.value(index.row(), -1) : int(index.internalId()) - 1;
    return g >= 0 && g < m_groups.size() ? &m_groups.at(g) : nullptr;
}

void BulkAcceptance::drop(const QModelIndex& index)
{
    const Group* found = groupOf(index);
    if (!found || index.model() != this)
        return;
    Group& group = m_groups[found - m_groups.constData()];
    const int classRow = index.internalId() == 0 ? index.row() : int(m_shown.indexOf(int(index.internalId()) - 1));
    if (index.internalId() != 0 && group.shown() > 1) {
        beginRemoveRows(index.parent(), index.row(), index.row());
        group.items.remove(group.first + index.row());
        endRemoveRows();
        const QModelIndex classIndex = this->index(classRow, 0);
        emit dataChanged(classIndex, classIndex.siblingAtColumn(1));
    } else {
        // The class's last keyword goes, or the class with all it lists.
        beginRemoveRows({}, classRow, classRow);
        group.items.resize(group.first);
        m_shown.remove(classRow);
        endRemoveRows();
    }
    emit changed();
}

std::optional<BulkFiling> BulkAcceptance::fileAll()
{
    QMap<QString, QList<qint64>> idsByClass;
    for (const int g : std::as_const(m_shown)) {
        const Group& group = m_groups.at(g);
        for (qsizetype i = group.first; i < group.items.size(); ++i)
            idsByClass[group.target.code].append(group.items.at(i).id);
    }
    beginResetModel();
    for (const int g : std::as_const(m_shown))
        m_groups[g].items.resize(m_groups.at(g).first);
    m_shown.clear();
    endResetModel();
    emit changed();
    return m_session.FileMany(idsByClass);
}

QString BulkAcceptance::report(const BulkFiling& filed)
{
    QString text = u"已设置 %1 个关键词"_s.arg(filed.filed.size());
    if (filed.held > 0)
        text += u"；%1 个正由另一个窗口设置，没有设置"_s.arg(filed.held);
    if (filed.gone > 0)
        text += u"；%1 个已被设置或删除，没有设置"_s.arg(filed.gone);
    if (filed.classGone > 0)
        text += u"；%1 个的分类已被删除，没有设置"_s.arg(filed.classGone);
    return text + (filed.filed.isEmpty() ? u"。"_s : u"。按 Ctrl+Z 可全部撤销。"_s);
}

QModelIndex BulkAcceptance::index(int row, int column, const QModelIndex& parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, quintptr(0));
    return createIndex(row, column, quintptr(m_shown.at(parent.row())) + 1);
}

QModelIndex BulkAcceptance::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(m_shown.indexOf(int(child.internalId()) - 1)), 0, quintptr(0));
}

int BulkAcceptance::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(m_shown.size());
    if (parent.internalId() != 0 || parent.column() != 0)
        return 0;
    return int(m_groups.at(m_shown.at(parent.row())).shown());
}

int BulkAcceptance::columnCount(const QModelIndex&) const
{
    return 2;
}

QVariant BulkAcceptance::data(const QModelIndex& index, int role) const
{
    const Group* group = groupOf(index);
    if (!group || (role != Qt::DisplayRole && role != Qt::UserRole))
        return {};
    const bool classRow = index.internalId() == 0;
    if (role == Qt::UserRole)
        return classRow ? QVariant(group->target.code) : QVariant(group->items.at(group->first + index.row()).id);
    if (classRow)
        return index.column() == 0 ? u"%1（%2 个）"_s.arg(group->target.title).arg(group->shown()) : QVariant();
    const Candidate& c = group->items.at(group->first + index.row());
    return index.column() == 0 ? QVariant(c.keyword) : QVariant(QString::number(c.confidence, 'f', 3));
}

QVariant BulkAcceptance::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == 0 ? u"分类 / 关键词（最不确定的在前）"_s : u"置信度"_s;
}
