#pragma once

#include "ui/FixedDialog.h"

class KeywordBox;
class LineSource;
class QCheckBox;
class QPushButton;
class SortingSession;
class Store;

// Keywords in bulk, one per line, with or without leaving out those already stored. When the store says so, the
// saved rules file each new batch right after it is added, through the session as one step of Ctrl+Z.
// One object serves one opening; Init shows it modally and tells whether anything was added.
class frmAddWords : public FixedDialog
{
    Q_OBJECT
public:
    explicit frmAddWords(Store& conn, QWidget* parent = nullptr, SortingSession* session = nullptr);

    bool Init();

protected:
    void keyPressEvent(QKeyEvent* event) override;

signals:
    // A chunk of the running batch is committed; the counts are the batch's so far.
    void chunkStored(qint64 added, qint64 duplicates);

private:
    void cmdAdd_Click();
    void cmdExit_Click();
    // Runs one batch over source and reports it.
    void AddWords(LineSource& source);
    // Ctrl+O or files dropped on txtKeys: their keywords go to one batch, without passing through the box.
    void AddFiles(const QStringList& paths);
    void runBatch(LineSource& source);
    // Files the keywords added after afterId by the saved rules, when the store says so; what to tell the operator.
    QString applyRules(qint64 afterId);

    Store& Conn;
    SortingSession* m_session;
    bool WordsAdded = false;

    QCheckBox* Check1 = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdExit = nullptr;
    KeywordBox* txtKeys = nullptr;
};
