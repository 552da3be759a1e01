#pragma once

#include "Result.h"
#include "Rows.h"
#include "rules/Rule.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class KeywordPrints;

// A keyword store: the class tree and the keywords, and every operation the program performs on them.
// Each engine (an SQLite file, a PostgreSQL database) implements it; every value travels as a bound
// parameter, and every failure comes back as a value carrying the database layer's own words. A store
// object is used from the thread that opened it; work on another thread opens a store of its own.
//
// Every write that changes which keywords are filed announces the change, so that views can follow it.
class Store : public QObject
{
    Q_OBJECT
public:
    // What became of a write that expected a keyword row in a certain state.
    enum class Change
    {
        Done,
        // The row is no longer in the store.
        Gone,
        // The row is there, but no longer in the state the write expected (filed, or taken back, meanwhile).
        Moved,
        // The class to file under is no longer in the store.
        ClassGone
    };
    enum class ClassDeletion
    {
        Deleted,
        // A keyword is filed in the class or below it; nothing was deleted.
        NotEmpty
    };
    // What a chunk of a keyword batch came to, counting only what was committed.
    struct ChunkCounts
    {
        qint64 added = 0;
        qint64 duplicates = 0;
        // Keywords added with numbers.
        qint64 numbered = 0;
    };

    using QObject::QObject;

    // Where the store lives, as given to openStore(); another connection to it is opened from this.
    virtual QString location() const = 0;

    // Classes.
    virtual Result<QList<ClassRow>> classesUnder(const QString& parentCode) = 0;
    virtual Result<std::optional<ClassRow>> classByCode(const QString& code) = 0;
    // Adds a class under parentCode and advances the parent's counter, both or neither; gives the new code.
    virtual Result<QString> addClass(const QString& parentCode, const QString& title, const QString& qKey) = 0;
    // Changes a class's title and quick key only; false when the class is no longer in the store.
    virtual Result<bool> editClass(const QString& code, const QString& title, const QString& qKey) = 0;
    // Removes the one row of the class unless a keyword is filed in it or below it; the classes below stay.
    virtual Result<ClassDeletion> deleteClassIfEmpty(const QString& code) = 0;

    // The filing loop. In a team, the keyword a window shows is held by it: no other window is served it.
    // The lowest-id unsorted keyword not held elsewhere; the window holds it from now on, instead of the last.
    virtual Result<std::optional<KeywordRow>> nextUnsorted() = 0;
    // Makes an unsorted keyword the one the window holds, and lets go of the one it held; false, holding what it
    // held, when another window holds it or when it is no longer unsorted (filed or deleted since it was read).
    // 0 lets go of the keyword held: the window holds nothing.
    virtual Result<bool> holdKeyword(qint64 id) = 0;
    // Files an unsorted keyword under a class that is still in the store.
    virtual Result<Change> fileKeyword(qint64 id, const QString& classCode, const QString& className) = 0;
    // Returns a keyword filed under classCode to the unsorted pool; the window holds it from then on.
    virtual Result<Change> unfileKeyword(qint64 id, const QString& classCode) = 0;
    // Removes an unsorted keyword.
    virtual Result<Change> deleteKeyword(qint64 id) = 0;
    // The keyword with this id, as it stands now; nothing when there is none.
    virtual Result<std::optional<KeywordRow>> keywordById(qint64 id) = 0;
    virtual Status deleteAllKeywords() = 0;
    // The next unsorted keywords in the order the filing loop serves them.
    virtual Result<QStringList> pendingKeywords(int limit) = 0;

    // Filing in bulk, in chunks of one transaction each (a server's other windows see each chunk as it commits).
    // Files those of ids that are still unsorted and not held by another window into a class that is still in
    // the store; a keyword the calling window holds itself is filed too. On a server, run it on the window's
    // own store, whose connection holds the window's keyword: on another connection that keyword counts as held.
    // Announced once at the end by keywordsFiled. When a chunk fails, the chunks before it stay filed and are
    // announced all the same.
    virtual Result<BulkFiling> fileKeywords(const QList<qint64>& ids, const QString& classCode,
                                            const QString& className, const BulkProgress& progress = {})
        = 0;
    // Returns those of ids still filed under classCode to the unsorted pool, in chunks; gives their ids.
    virtual Result<QList<qint64>> unfileKeywords(const QList<qint64>& ids, const QString& classCode) = 0;

    // Rules. The unsorted keywords a rule matches, by id: how many, the first scan.listLimit of them (id and
    // text), and with scan.ids every id. An empty rule, or a regular expression that does not compile, fails.
    virtual Result<RuleMatches> matchRule(const Rule& rule, const RuleScan& scan) = 0;
    // Keeps a rule with the class it files into, which must be in the store; gives the rule's id.
    virtual Result<qint64> saveRule(const Rule& rule, const QString& classCode) = 0;
    // Every saved rule, oldest first.
    virtual Result<QList<SavedRule>> savedRules() = 0;
    // False when the rule was no longer there.
    virtual Result<bool> deleteSavedRule(qint64 id) = 0;
    // Applies every saved rule, oldest first, to the unsorted keywords with ids above afterId (a batch just
    // added): each files what it matches into its class; a keyword two rules match goes where the older says.
    Result<RulesApplied> applySavedRules(qint64 afterId);
    // What applySavedRules would file, for a caller that files it its own way (as one step of Ctrl+Z).
    Result<SavedRuleMatches> savedRuleMatches(qint64 afterId);
    // Whether the saved rules file every new batch right after it is added. The store keeps it, beside the rules
    // themselves, so every window of a team that adds a batch does the same.
    virtual Result<bool> rulesOnNewBatches() = 0;
    virtual Status setRulesOnNewBatches(bool on) = 0;
    // The highest keyword id there is, 0 for none: a batch added afterwards has ids above it.
    virtual Result<qint64> lastKeywordId() = 0;

    // Every unsorted keyword with an id above afterId, by id, handed over as it is read; stops when cancel is set.
    virtual Status readUnsorted(qint64 afterId, const std::function<void(qint64 id, const QString& keyword)>& each,
                                const std::atomic<bool>* cancel = nullptr)
        = 0;

    // The grid: a subtree is its classes in code order, each newest first.
    // How many keywords each class code in the subtree of code holds, by code ascending; empty classes left out.
    virtual Result<QList<ClassCount>> subtreeCounts(const QString& code) = 0;
    // Up to limit keywords of one class, from the one with id fromId downwards.
    virtual Result<QList<KeywordRow>> classPage(const QString& classCode, qint64 fromId, int limit) = 0;
    // The id of the keyword `offset` places on from the one with id fromId, in one class, newest first: offset 0 is
    // the newest at or below fromId, a negative offset counts towards newer keywords. Nothing past either end.
    virtual Result<std::optional<qint64>> classIdAt(const QString& classCode, qint64 fromId, qint64 offset) = 0;
    // How many keywords of one class are newer than id: its position in the class.
    virtual Result<qint64> classPosition(const QString& classCode, qint64 id) = 0;

    // Finding and counting.
    // Keywords that contain text (ASCII letters compare without case, everything else exactly), by id, at most
    // limit of them.
    virtual Result<QList<FoundKeyword>> findKeywords(const QString& text, int limit) = 0;
    virtual Result<KeywordTotals> keywordTotals() = 0;
    // How many keywords are filed in the class of code and below it.
    virtual Result<qint64> subtreeCount(const QString& code) = 0;
    // The class code and the text of filed keywords, about limit of them, each class its share, newest first:
    // what suggestions learn. Reading stops early when each returns false.
    virtual Status readFiled(qint64 limit, const std::function<bool(const QString& code, const QString& keyword)>& each)
        = 0;

    // What is wrong with the store, in the operator's words: its file, rows that disagree with each other, class
    // codes that break the rules. Empty when nothing is.
    virtual Result<QStringList> problems() = 0;

    // Whole stores, for copying one into another.
    virtual Result<QList<ClassRow>> allClasses() = 0;
    // Up to limit keywords with ids above afterId, by id.
    virtual Result<QList<KeywordRow>> keywordsAfter(qint64 afterId, int limit) = 0;
    // Puts these classes, ids and counters as given, in place of every class in the store, in one transaction.
    virtual Status replaceClasses(const QList<ClassRow>& classes) = 0;
    // A text as this store would keep it; where it differs from the text, the store cannot hold it exactly.
    virtual QString storedForm(const QString& text) const = 0;

    // Intake.
    // The prints of every stored keyword, for a batch's duplicate test.
    virtual Status loadPrints(KeywordPrints& into) = 0;
    // Stores a chunk of keywords, unsorted, in one transaction, each exactly as given. Given the prints, a
    // keyword equal to a stored one among them is counted as a duplicate and not stored, and each stored keyword
    // joins them. When a keyword is refused, those before it stay stored if the store allows; counts says what
    // was committed.
    // With metrics (empty, or one for each keyword), a stored keyword keeps its numbers: a duplicate left out
    // leaves the numbers of the keyword it repeats as they were.
    virtual Status addChunk(const QList<QString>& keywords, const QList<KeywordMetrics>& metrics, KeywordPrints* seen,
                            ChunkCounts& counts)
        = 0;
    Status addChunk(const QList<QString>& keywords, KeywordPrints* seen, ChunkCounts& counts)
    {
        return addChunk(keywords, {}, seen, counts);
    }
    // Stores rows exactly as given, in one transaction; a row's id is kept when it is not 0.
    virtual Result<qint64> importRows(const QList<KeywordRow>& rows) = 0;
    // Stores each keyword as given, unsorted, in one transaction.
    Result<qint64> insertKeywords(const QStringList& keywords);

    // Numbers. Whether any keyword has numbers.
    virtual Result<bool> hasMetrics() = 0;
    // The numbers kept for those of ids that have any.
    virtual Result<QHash<qint64, KeywordMetrics>> metricsOf(const QList<qint64>& ids) = 0;
    // The names of the raw columns the keywords' files had, one RawColumns text a layout, oldest layout first.
    virtual Result<QStringList> rawColumnNames() = 0;
    // The summed monthly searches filed under each class code that has any, by code.
    virtual Result<QList<ClassVolume>> classVolumes() = 0;
    virtual Result<VolumeTotals> volumeTotals() = 0;
    // The summed volume of each class with the classes below it, by code, from classVolumes().
    static QHash<QString, qint64> subtreeVolumes(const QList<ClassVolume>& volumes);
    // Keeps numbers for keywords by id, in place of any they had, in one transaction.
    virtual Status importMetrics(const QHash<qint64, KeywordMetrics>& metrics) = 0;

signals:
    // Another window of the team changed the classes, or which keywords are filed, or added keywords.
    void changedElsewhere(bool classes, bool keywords);
    void keywordFiled(const KeywordRow& row);
    // The row as it was before: the class it was filed under, or none.
    void keywordUnfiled(const KeywordRow& row);
    void keywordDeleted(const KeywordRow& row);
    // A bulk filing or take-back, once for the whole call, however many chunks it took (a view reloads rather than
    // placing each row). Filed: the rows as filed.
    void keywordsFiled(const QList<KeywordRow>& rows);
    // Taken back: the rows as before, each with the class code it was filed under.
    void keywordsUnfiled(const QList<KeywordRow>& rows);
    void allKeywordsDeleted();

    // A team's store only: its connection to the server.
    // The connection broke (the database layer's words for why). Said once for each break; every call fails
    // until the store has reached the server again, which it tries by itself at growing intervals.
    void connectionLost(const QString& reason);
    // The connection is back. What other windows changed meanwhile was not heard: changedElsewhere(true, true)
    // follows. A filing that failed with the break but was committed all the same is announced by keywordFiled.
    void reconnected();
    // After reconnecting: the keyword the window held is no longer its own (another window holds it now, or it
    // was filed or deleted meanwhile). The window holds nothing until it is served or holds another.
    void heldKeywordLost(qint64 id);
};

// Opens an existing store (never creates one) and checks that it holds what the program needs.
Result<std::unique_ptr<Store>> openStore(const QString& location);
// Makes a new store with its tables, indexes and root row; refuses a location that holds one already.
Status createStore(const QString& location);
// On a server: gives role what an operator of the store needs (its rows, functions and sequences) and nothing
// more (no ownership, no changes to tables or functions). Run by the owner of the store's tables.
Status grantOperator(const QString& location, const QString& role);
