#pragma once

#include "store/Store.h"

#include <QAbstractTableModel>
#include <QList>

// The rows of Grid1: the keywords filed in the subtree of one class, grouped by class code ascending and
// newest first within a class. Cells are served on request from KeyRows. After a filing or a take-back the
// window updates the one row that changed instead of reading the whole subtree again.
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

    explicit KeywordGridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The subtree now shown; empty before the first load.
    const QString& loadedCode() const { return m_code; }
    // Whether the columns and their headers have been set by a load that found rows.
    bool isConfigured() const { return m_configured; }

    // The result of reading the subtree of code. No rows leaves only the header row; the columns and their
    // headers stay as the last load that found rows set them.
    void load(const QString& code, QList<KeywordRow> rows);
    // A keyword was filed under a class of the loaded subtree: it takes its place in the order.
    void insertFiled(const KeywordRow& row);
    // A keyword left the subtree (taken back or deleted).
    void removeId(qint64 id);
    void clearRows();

    int dataRowCount() const { return m_designLook ? 0 : int(KeyRows.size()); }
    bool isDataRow(int row) const { return !m_designLook && row >= 0 && row < KeyRows.size(); }
    const KeywordRow& rowAt(int row) const { return KeyRows.at(row); }

private:
    static constexpr int DesignColumns = 4;
    static constexpr int DesignRows = 29;

    QList<KeywordRow> KeyRows;
    QString m_code;
    bool m_configured = false;
    bool m_designLook = true;
};
