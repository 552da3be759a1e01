#pragma once

#include "store/Store.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMap>

// The rows of Grid1: the keywords filed in the subtree of one class, grouped by class code ascending and newest
// first within a class. A load reads only how many keywords each class of the subtree holds; the rows the view
// shows are read a page at a time, whatever the size of the class.
//
// The model follows the store: each filing, take-back and deletion the store announces is kept until the
// window next asks for the grid (sync), and then changes the grid by that one row when it lies in the subtree.
class KeywordGridModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column
    {
        IdColumn,
        ClassNameColumn,
        KeywordColumn,
        ColumnCount
    };

    explicit KeywordGridModel(Store& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The subtree now shown; empty before the first load.
    const QString& loadedCode() const { return m_code; }
    // Whether the columns and their headers have been set by a load that found rows.
    bool isConfigured() const { return m_configured; }
    int dataRowCount() const { return m_designLook ? 0 : int(m_rows); }
    bool isDataRow(int row) const { return row >= 0 && row < dataRowCount(); }
    // The keyword shown at a row; nothing when the store could not read it.
    const KeywordRow* rowAt(int row) const;
    // The row of a keyword filed under a class of the subtree.
    Result<qint64> rowOf(const QString& classCode, qint64 id) const;

    // Reads the subtree of code. No rows leaves only the header row; the columns and their headers stay as
    // the last load that found rows set them. On failure nothing changes.
    Status load(const QString& code);
    // Brings the rows up to date with the writes announced since the last load or sync.
    Status sync();
    // Reads the subtree shown again, for what other windows changed; a view keeps its place across it.
    Status refresh();

signals:
    // A page of rows could not be read from the store; its cells stay empty.
    void readFailed(const QString& error) const;
    void refreshing();
    void refreshed();

private:
    struct Group
    {
        QString code;
        qint64 count = 0;
        // The row of its first keyword.
        qint64 start = 0;
    };
    struct Notice
    {
        enum Kind
        {
            Filed,
            Left,
            AllDeleted,
            // Many changed at once: the subtree is read again.
            Reload
        } kind;
        qint64 id = 0;
        QString classCode;
    };
    static constexpr int DesignColumns = 4;
    static constexpr int DesignRows = 29;
    static constexpr int PageRows = 256;
    static constexpr int CachedPages = 64;
    // A row read is remembered by its id at every so many positions of its class.
    static constexpr int AnchorEvery = 64;

    void notice(const Notice& n);
    // Where the group of a class code is, or would be, in the groups' code order.
    qsizetype groupIndex(const QString& classCode) const;
    bool inSubtree(const QString& classCode) const;
    // The group holding a row, by its start.
    qsizetype groupOf(qint64 row) const;
    Status readPage(qint64 page) const;
    Status insertRow(const Notice& n);
    Status removeRow(const Notice& n);
    void forgetPagesFrom(qint64 row);
    void restart(qsizetype fromGroup);
    // A row came into (by +1) or left (by -1) a class at a position: the anchors after it move with it.
    void shiftAnchors(const QString& classCode, qint64 position, int by);

    Store& m_store;
    QString m_code;
    QList<Group> m_groups;
    qint64 m_rows = 0;
    mutable QHash<qint64, QList<KeywordRow>> m_pages;
    // For each class, ids at known positions (newest first): a page is read from the nearest one before it, so
    // that reading the middle of a large class does not count its rows from the top each time.
    mutable QHash<QString, QMap<qint64, qint64>> m_anchors;
    mutable bool m_readFailed = false;
    QList<Notice> m_pending;
    bool m_configured = false;
    bool m_designLook = true;
};
