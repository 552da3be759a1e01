#pragma once

#include <QPlainTextEdit>

// txtKeys: a multi-line text box that takes a pasted list of a million keywords in a fraction of a second.
// A long paste goes in with its lines gathered into paragraphs of a few dozen lines each, kept apart by line
// separators: the box shows and edits them as lines as before, and the batch cuts at both, but the text box
// builds one paragraph where it would have built dozens.
class KeywordBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

    // A text of many lines as the box takes it in.
    static QString gathered(QStringView text);

signals:
    // Files dropped on the box: their keywords go to a batch, not into the box.
    void filesDropped(const QStringList& paths);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};
