#pragma once

#include "store/Result.h"
#include "store/Store.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// The rows of Grid1: the keywords filed in the subtree of one class, grouped by class code ascending and
// newest first within a class. A load reads only the ids and class codes, from the index; the texts of the
// rows the view asks for are read a page at a time. After a filing or a take-back the window updates the one
// row that changed instead of reading the whole subtree again.
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
    int dataRowCount() const { return m_designLook ? 0 : int(m_ids.size()); }
    bool isDataRow(int row) const { return row >= 0 && row < dataRowCount(); }
    qint64 idAt(int row) const { return m_ids.at(row); }

    // Reads the subtree of code. No rows leaves only the header row; the columns and their headers stay as
    // the last load that found rows set them. On failure nothing changes.
    Status load(const QString& code);
    // A keyword was filed under a class of the loaded subtree: it takes its place in the order.
    void insertFiled(const KeywordRow& row);
    // A keyword left the subtree (taken back or deleted).
    void removeId(qint64 id);
    void clearRows();

private:
    static constexpr int DesignColumns = 4;
    static constexpr int DesignRows = 29;
    static constexpr int PageSize = 200;

    struct Texts
    {
        QString classname;
        QString keywords;
    };
    const Texts* textsAt(int row) const;

    Store& m_store;
    // KeyRows: ids and class codes of every row, in the grid's order; the texts of the rows seen so far.
    QList<qint64> m_ids;
    QList<QString> m_codes;
    mutable QHash<qint64, Texts> m_texts;
    QString m_code;
    bool m_configured = false;
    bool m_designLook = true;
};
