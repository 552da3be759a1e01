#pragma once

#include "store/Rows.h"
#include "store/rules/Rule.h"
#include "ui/FixedDialog.h"

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class RuleScanner;
class SortingSession;
class Store;

// Filing by rule: as the operator types a rule, how many unsorted keywords it matches and the first of them;
// Ctrl+Enter files them all, as one step of Ctrl+Z, into the class selected in the main window's class list or
// the one the quick keys typed into txtPath reach from the top. Rules can be kept with their class, and the kept
// rules applied to every new batch.
class frmRule : public FixedDialog
{
    Q_OBJECT
public:
    // At most this many matches are listed.
    static constexpr int Shown = 200;
    // How long typing must pause before the rule is counted again.
    static constexpr int PauseMs = 150;

    frmRule(Store& conn, SortingSession& session, QWidget* parent = nullptr);
    ~frmRule() override;

    // Shows the window modally, with words that must all appear filled in.
    void Init(const QString& allWords = {});

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // A key of the window's own; true when it was one.
    bool CommandKey(const QKeyEvent& key);
    Rule currentRule(QString& problem) const;
    // The class to file into, shown in lblTarget; nothing, with the reason there instead.
    std::optional<ClassRow> currentTarget();
    void txtRule_Change();
    void countRule();
    void showMatches(const RuleMatches& matches);
    void cmdFile_Click();
    void cmdSave_Click();
    void deleteSaved();
    void LoadSavedRules();
    void chkOnBatch_Toggle(bool on);

    Store& Conn;
    SortingSession& m_session;
    RuleScanner* m_scanner = nullptr;
    QTimer* m_pause = nullptr;
    QList<SavedRule> m_saved;

    QLineEdit* txtAll = nullptr;
    QLineEdit* txtAny = nullptr;
    QLineEdit* txtNone = nullptr;
    QLineEdit* txtRegex = nullptr;
    QLineEdit* txtMinLength = nullptr;
    QLineEdit* txtMaxLength = nullptr;
    QLineEdit* txtPath = nullptr;
    QLabel* lblTarget = nullptr;
    QLabel* lblCount = nullptr;
    QListWidget* lstMatch = nullptr;
    QListWidget* lstSaved = nullptr;
    QCheckBox* chkOnBatch = nullptr;
    QPushButton* cmdFile = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdExit = nullptr;
};
