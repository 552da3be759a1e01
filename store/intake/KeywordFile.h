#pragma once

#include "Batch.h"
#include "KnownLayouts.h"
#include "Workbook.h"

#include <QStringList>

#include <memory>

// A file of keywords, read for a batch: a text file (a keyword a line), a CSV file (one of its columns) or an
// Excel workbook (one column of its first sheet). The whole file is read and checked when it is opened, so that a
// file that cannot be read is refused before anything is stored. Its keywords are then cut into lines and left
// out when blank by the same rules as pasted text.
class KeywordFile : public LineSource
{
public:
    enum class Kind
    {
        Text,
        Csv,
        Workbook
    };
    struct Options
    {
        // The encoding of a text or CSV file without a byte-order mark, by name ("UTF-8", "UTF-16LE", "GB18030");
        // empty to tell by itself. A mark always wins.
        QString encoding;
        // Reading a large file takes a while: how far it has come, and how to stop it.
        ReadControl control;
    };

    static Result<std::unique_ptr<KeywordFile>> open(const QString& path, const Options& options = {});
    ~KeywordFile() override;

    const QString& path() const { return m_path; }
    Kind kind() const { return m_kind; }
    // The encoding the text was read in, and whether the file said so (a byte-order mark, or text that can only
    // be UTF-8); a guess otherwise.
    const QString& encoding() const { return m_encoding; }
    bool encodingSure() const { return m_sure; }
    // The fields of the table's first row, one a column, to choose a column by (a text file: its first line).
    const QStringList& firstRow() const { return m_firstRow; }
    qsizetype columns() const { return m_firstRow.size(); }
    // Rows above the table without its columns (a report's title): never read.
    qsizetype titleRows() const { return m_titles; }
    // A layout told by its header (the program's own export, a keyword tool's): its keyword column is chosen,
    // and its header row left out, already.
    bool ownExport() const { return m_layout.has_value(); }
    // The columns read for numbers, when the layout has any.
    const std::optional<KnownLayouts::Layout>& layout() const { return m_layout; }
    // Until chosen, the first column is read, first row included.
    void chooseColumn(int column, bool skipFirstRow);
    // The first lines as they would be stored, to show what a guessed encoding makes of the file.
    QStringList preview(int lines) const;

    Result<bool> read(QList<QString>& lines, qsizetype max) override;
    std::pair<qint64, qint64> progress() const override;
    bool takeMetrics(QList<KeywordMetrics>& metrics) override;

private:
    KeywordFile() = default;
    // Takes a known header found in the table.
    void recognised(const KnownLayouts::Found& found);
    // Settles the table of a CSV file or a workbook: its delimiter, title rows, first row, and whether it is an
    // export of the program's own.
    Status settleTable(const QString& suffix);
    // Moves to the first row to read (of a workbook: reads its column).
    Status start();
    // The next row's field in the chosen column, and its numbers.
    QString nextValue(KeywordMetrics& metrics);
    // Whether rows come with numbers or raw columns to keep.
    bool hasMetrics() const { return m_layout && !(m_layout->numbers.isEmpty() && m_layout->raw.isEmpty()); }

    QString m_path;
    Kind m_kind = Kind::Text;
    QString m_encoding;
    bool m_sure = true;
    // A text or CSV file's whole text; a workbook, until its column is read into cells, a cell a row.
    QString m_text;
    std::unique_ptr<Workbook> m_workbook;
    QStringList m_cells;
    QChar m_delimiter;
    QStringList m_firstRow;
    qsizetype m_titles = 0;
    std::optional<KnownLayouts::Layout> m_layout;
    bool m_decimalComma = false;
    // A workbook's number columns, in the layout's order, once read, and its raw columns joined a row each.
    QList<QStringList> m_numberCells;
    QStringList m_rawCells;
    QString m_rawNames;
    // The raw columns of a CSV row.
    QList<bool> m_rawKept;
    QList<KeywordMetrics> m_lastMetrics;
    // The columns of a CSV row read: the keyword's and the numbers'.
    QList<bool> m_wanted;
    KeywordMetrics m_pendingMetrics;
    int m_column = 0;
    bool m_skipFirstRow = false;
    bool m_started = false;
    qsizetype m_next = 0;
    // Lines cut from the last field or cell, not handed out yet.
    QStringList m_pending;
};

// The lines of several files, one after the other, as one batch.
class FileLines : public LineSource
{
public:
    explicit FileLines(std::vector<std::unique_ptr<KeywordFile>> files);
    Result<bool> read(QList<QString>& lines, qsizetype max) override;
    std::pair<qint64, qint64> progress() const override;
    bool takeMetrics(QList<KeywordMetrics>& metrics) override;

private:
    std::vector<std::unique_ptr<KeywordFile>> m_files;
    size_t m_current = 0;
};
