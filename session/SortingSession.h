#pragma once

#include "ClassLevel.h"
#include "FilingHistory.h"
#include "store/Rows.h"
#include "store/rules/Rule.h"

#include <QMap>
#include <QObject>
#include <QStringList>

#include <memory>
#include <optional>

class KeywordGridModel;
class Store;
class Suggester;
class SuggestionLearner;
class TeamWatch;

// The sorting loop without its window. It holds the level of classes listed and the class selected, the current
// keyword, and the grid of keywords filed under the selected class; it files, takes back and deletes keywords,
// takes filings back and makes them again, suggests classes, and follows what other windows of a team change.
//
// A window turns the operator's events into calls and draws the state when told it changed; the command line and
// the tests drive it directly. What the operator must be told arrives by message(), and the loop goes on only
// after every receiver has returned: a window shows it in a modal box, so the rest waits until it is closed.
class SortingSession : public QObject
{
    Q_OBJECT
public:
    explicit SortingSession(Store& conn, QObject* parent = nullptr);

    // The level listed: the children of ParentCode, in the order they were made, with the selected one's index
    // (-1 for none) and the quick keys in list order followed by one empty entry.
    const QString& parentCode() const { return ParentCode; }
    const QList<ClassRow>& classes() const { return m_level.classes(); }
    int selected() const { return m_level.selected(); }
    const QStringList& quickKeys() const { return m_level.quickKeys(); }
    // The class the grid and filing are for; empty for none.
    const QString& selCode() const { return SelCode; }
    // The current keyword: its id (0 for none) and text.
    qint64 keyId() const { return KeyId; }
    const QString& keyword() const { return m_keyword; }
    // The class suggested for the current keyword; empty for none.
    const QString& suggested() const { return m_suggested; }
    KeywordGridModel* gridModel() const { return m_grid; }
    // The suggestions' model as it stands, to read on another thread (it never changes under its reader); nothing
    // until what was filed before the session began has been learnt.
    std::shared_ptr<const Suggester> suggester() const;
    // This session's filings, and the minutes since the first of them.
    qint64 filings() const { return m_history->filings(); }
    double minutes() const { return m_history->minutes(); }

    // The level of classes shown, and moving through the tree.
    void Form_Load();
    // Lists the level of ParentCode, the first class selected, or the one of keep when it is there; false when the
    // store failed, which is said only when failureShown.
    bool LoadClassList(const QString& keep = {}, bool failureShown = true);
    void GoDown();
    void GoUp();
    // A class of the level selected by its code.
    void ItemClick(const QString& code);
    void DeleteClass();
    // The filing loop.
    void LoadNextKeyword();
    void AssignKeyword();
    // A character typed anywhere: the quick key of a class of the level goes down into it or files the current
    // keyword there; true when it was one.
    bool KeyPress(const QString& character);
    void LoadClassKeywords();
    // Takes the keyword of a grid row back into the unsorted pool; it becomes the current one.
    void TakeBack(int gridRow);
    void DeleteKeyword();
    void DeleteAllKeywords();
    // Beyond the classic loop.
    void Undo();
    void Redo();
    void AcceptSuggestion();
    // A keyword found by its text: a filed one is shown in its class and grid row, an unsorted one made current.
    void ShowFound(const KeywordRow& row);
    // Files keywords at once (those matching a rule, suggestions accepted) as one step of Ctrl+Z, into the classes
    // their ids are listed under; keywords held by other windows of a team are left alone. What the store did, or
    // nothing when it failed (and the operator was told).
    std::optional<BulkFiling> FileMany(const QMap<QString, QList<qint64>>& idsByClass);

signals:
    // The level was read again: its classes, the selection and the quick keys.
    void classesChanged();
    // Another class of the level is selected.
    void selectionChanged();
    // Whether there is a level above and a class to go down into may have changed.
    void navigationChanged();
    void keywordChanged();
    void suggestionChanged();
    void message(const QString& text);
    // A found keyword is at this row of the grid.
    void gridRowFound(int row);

private:
    // Lists the level below parentCode instead of the one shown; false, keeping the one shown, when the store failed.
    bool listLevel(const QString& parentCode);
    void setKeyword(qint64 id, const QString& keyword);
    // Files a keyword, tells the operator what the store said, and moves the loop on when it was the current
    // keyword; true when it was filed.
    bool fileInto(qint64 id, const QString& code, const QString& title);
    void showSuggestion();
    // The store's words, unless its server is out of reach and said so already.
    void storeFailed(const QString& error);
    void check(const Status& done);
    void afterFilingMany();

    Store& Conn;
    QString ParentCode;
    QString SelCode;
    qint64 KeyId = 0;
    ClassLevel m_level;
    QString m_keyword;
    QString m_suggested;
    KeywordGridModel* m_grid = nullptr;
    FilingHistory* m_history = nullptr;
    SuggestionLearner* m_learner = nullptr;
    TeamWatch* m_team = nullptr;
};
