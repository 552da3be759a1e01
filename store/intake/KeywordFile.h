#pragma once

#include "Batch.h"

#include <QStringList>

#include <memory>

// A file of keywords, read for a batch: a text file (a keyword a line), a CSV file (one of its columns) or an
// Excel workbook (the first column of its first sheet). The whole file is read and checked when it is opened,
// so that a file that cannot be read is refused before anything is stored. Its keywords are then cut into lines
// and left out when blank by the same rules as pasted text.
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
        // The encoding of a text or CSV file, by name ("UTF-8", "UTF-16", "GB18030"); empty to tell by itself.
        QString encoding;
    };

    static Result<std::unique_ptr<KeywordFile>> open(const QString& path, const Options& options = {});

    const QString& path() const { return m_path; }
    Kind kind() const { return m_kind; }
    // The encoding the text was read in, and whether the file said so (a byte-order mark, or text that can only
    // be UTF-8); a guess otherwise.
    const QString& encoding() const { return m_encoding; }
    bool encodingSure() const { return m_sure; }
    // CSV: the fields of its first row, to choose a column by. Until chosen, the first column is read, first
    // row included.
    QStringList firstRow() const;
    void chooseColumn(int column, bool skipFirstRow);
    // The first lines as they would be stored, to show what a guessed encoding makes of the file.
    QStringList preview(int lines) const;

    Result<bool> read(QList<QString>& lines, qsizetype max) override;
    std::pair<qint64, qint64> progress() const override;

private:
    KeywordFile() = default;
    // The next CSV record's fields, from m_next on.
    QStringList nextRecord();

    QString m_path;
    Kind m_kind = Kind::Text;
    QString m_encoding;
    bool m_sure = true;
    // A text or CSV file's whole text; a workbook's first column, a cell a line.
    QString m_text;
    QStringList m_cells;
    QChar m_delimiter = u',';
    int m_column = 0;
    bool m_skipFirstRow = false;
    qsizetype m_next = 0;
    // Lines cut from the last field or cell, not handed out yet.
    QStringList m_pending;
};

// The first column of the first sheet of an Excel workbook, a cell a string.
Result<QStringList> readWorkbookColumn(const QString& path);

// The lines of several files, one after the other, as one batch.
class FileLines : public LineSource
{
public:
    explicit FileLines(std::vector<std::unique_ptr<KeywordFile>> files);
    Result<bool> read(QList<QString>& lines, qsizetype max) override;
    std::pair<qint64, qint64> progress() const override;

private:
    std::vector<std::unique_ptr<KeywordFile>> m_files;
    size_t m_current = 0;
};
