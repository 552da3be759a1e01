#pragma once

#include "store/Result.h"
#include "store/Rows.h"
#include "store/rules/Rule.h"

#include <QAbstractItemModel>
#include <QList>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class SortingSession;
class Store;
class Suggester;

// Suggestions accepted in bulk: for the level the session lists, the unsorted keywords whose likeliest class of
// the level is at least as sure as a threshold, grouped by that class. As a tree model: each class with its count,
// and below it its keywords, least sure first (where mistakes are likeliest), each with its confidence.
//
// Scoring runs on threads of its own over a connection of its own, on the model as it stood at start(); it shows
// once it ends or is stopped. Qt::UserRole gives a class row's code and a keyword row's id. A keyword likelier in a
// class with classes below it is not listed: such a class is a level to go down into, and its keywords are accepted
// there.
class BulkAcceptance : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum class State
    {
        // Why there is nothing to score: the suggestions have not learnt yet, nothing at all is filed, the level
        // lists no class, nothing is filed under the level's classes.
        Learning,
        NothingFiled,
        NoClasses,
        NothingFiledHere,
        Scoring,
        // Ended by the operator, or by the store (error()), with what was scored until then.
        Stopped,
        Failed,
        Done
    };
    Q_ENUM(State)
    // The lowest threshold: below it the keywords are not kept.
    static constexpr double LeastThreshold = 0.5;
    static constexpr double DefaultThreshold = 0.9;

    BulkAcceptance(SortingSession& session, Store& store, QObject* parent = nullptr);
    ~BulkAcceptance() override;

    // Begins scoring the level the session lists, unless state() then says why it cannot.
    void start();
    void stop();
    State state() const { return m_state; }
    const QString& error() const { return m_error; }
    // The path of the class whose children are the level; empty for the top level.
    const QString& levelPath() const { return m_levelPath; }
    qint64 scored() const { return m_scored; }
    qint64 total() const { return m_total; }

    double threshold() const { return m_threshold; }
    void setThreshold(double threshold);
    // Listed: how many keywords, in how many classes; and how many at the threshold lie deeper.
    qint64 listed() const;
    int classesListed() const { return int(m_shown.size()); }
    qint64 deeper() const;
    // Leaves out a keyword, or a class with every keyword listed under it.
    void drop(const QModelIndex& index);
    // Files every keyword listed as one step of Ctrl+Z, and lists nothing more; nothing when the store failed.
    std::optional<BulkFiling> fileAll();
    // What filing came to, in the operator's words.
    static QString report(const BulkFiling& filed);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // How far scoring has come.
    void progressed();
    // The state changed, or what is listed.
    void changed();

private:
    struct Candidate
    {
        qint64 id = 0;
        QString keyword;
        double confidence = 0;
    };
    struct Group
    {
        ClassRow target;
        // A class with classes below it: counted, never listed.
        bool deeper = false;
        // Least sure first; those from first on are at or above the threshold.
        QList<Candidate> items;
        qsizetype first = 0;
        qsizetype shown() const { return items.size() - first; }
    };

    void finish(const Status& done);
    // Which part of each group the threshold lets through, and which groups are listed.
    void placeThreshold();
    const Group* groupOf(const QModelIndex& index) const;

    SortingSession& m_session;
    Store& m_store;
    State m_state = State::Learning;
    QString m_error;
    QString m_levelPath;
    QList<Group> m_groups;
    // The groups listed, by their index in m_groups.
    QList<int> m_shown;
    double m_threshold = DefaultThreshold;
    qint64 m_scored = 0;
    qint64 m_total = 0;
    std::shared_ptr<const Suggester> m_model;
    std::atomic<bool> m_cancel {false};
    std::thread m_worker;
};
