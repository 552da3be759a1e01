#include "frmRule.h"

#include "RuleForm.h"
#include "RuleScanner.h"
#include "session/SortingSession.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"Label1", 120, 165, 1500, 270},      {u"txtAll", 1620, 120, 4380, 345},
    {u"Label2", 120, 570, 1500, 270},      {u"txtAny", 1620, 525, 4380, 345},
    {u"Label3", 120, 975, 1500, 270},      {u"txtNone", 1620, 930, 4380, 345},
    {u"Label4", 120, 1380, 1500, 270},     {u"txtRegex", 1620, 1335, 4380, 345},
    {u"Label5", 120, 1785, 1500, 270},     {u"txtMinLength", 1620, 1740, 900, 345},
    {u"Label6", 2580, 1785, 360, 270},     {u"txtMaxLength", 2940, 1740, 900, 345},
    {u"Label7", 120, 2190, 1500, 270},     {u"txtPath", 1620, 2145, 900, 345},
    {u"lblTarget", 2580, 2190, 3420, 270}, {u"cmdFile", 6240, 120, 3240, 375},
    {u"cmdSave", 6240, 570, 3240, 375},    {u"cmdExit", 6240, 1020, 3240, 375},
    {u"lblHint", 6240, 1500, 3240, 1020},  {u"lblCount", 120, 2640, 9360, 270},
    {u"lstMatch", 120, 2970, 5880, 5310},  {u"Label8", 6240, 2700, 3240, 270},
    {u"lstSaved", 6240, 2970, 3240, 4860}, {u"chkOnBatch", 6240, 7920, 3240, 330},
};

} // namespace

frmRule::frmRule(Store& conn, SortingSession& session, QWidget* parent)
    : FixedDialog(u"按规则归类"_s, 9600, 8400, parent)
    , Conn(conn)
    , m_session(session)
    , m_scanner(new RuleScanner(conn.location(), Shown, this))
    , m_pause(new QTimer(this))
{
    setObjectName(u"frmRule"_s);
    buildControls();
    m_pause->setSingleShot(true);
    m_pause->setInterval(PauseMs);
    connect(m_pause, &QTimer::timeout, this, &frmRule::countRule);
    connect(m_scanner, &RuleScanner::scanned, this, &frmRule::showMatches);
    connect(m_scanner, &RuleScanner::failed, lblCount, &QLabel::setText);
    LoadSavedRules();
    const auto onBatch = Conn.rulesOnNewBatches();
    chkOnBatch->setChecked(onBatch && *onBatch);
    connect(chkOnBatch, &QCheckBox::toggled, this, &frmRule::chkOnBatch_Toggle);
    currentTarget();
    txtRule_Change();
}

frmRule::~frmRule() = default;

void frmRule::buildControls()
{
    const auto label = [this](const QString& name, const QString& text) { named(new QLabel(text, this), name); };
    label(u"Label1"_s, u"全部包含："_s);
    label(u"Label2"_s, u"包含其一："_s);
    label(u"Label3"_s, u"不包含："_s);
    label(u"Label4"_s, u"正则表达式："_s);
    label(u"Label5"_s, u"长度："_s);
    label(u"Label6"_s, u"至"_s);
    label(u"Label7"_s, u"归入分类："_s);
    label(u"Label8"_s, u"保存的规则（Delete 删除）："_s);
    txtAll = named(new QLineEdit(this), u"txtAll"_s);
    txtAny = named(new QLineEdit(this), u"txtAny"_s);
    txtNone = named(new QLineEdit(this), u"txtNone"_s);
    txtRegex = named(new QLineEdit(this), u"txtRegex"_s);
    txtMinLength = named(new QLineEdit(this), u"txtMinLength"_s);
    txtMaxLength = named(new QLineEdit(this), u"txtMaxLength"_s);
    txtPath = named(new QLineEdit(this), u"txtPath"_s);
    txtPath->setToolTip(u"从顶层起依次输入各级分类的快捷键；空着则归入主窗口分类列表中选定的分类"_s);
    lblTarget = named(new QLabel(this), u"lblTarget"_s);
    lblCount = named(new QLabel(this), u"lblCount"_s);
    lstMatch = named(new QListWidget(this), u"lstMatch"_s);
    lstMatch->setUniformItemSizes(true);
    lstSaved = named(new QListWidget(this), u"lstSaved"_s);
    chkOnBatch = named(new QCheckBox(u"每批新关键词加入后应用保存的规则"_s, this), u"chkOnBatch"_s);
    cmdFile = named(new QPushButton(u"全部归类 (Ctrl+Enter)"_s, this), u"cmdFile"_s);
    cmdSave = named(new QPushButton(u"保存规则 (Ctrl+S)"_s, this), u"cmdSave"_s);
    cmdExit = named(new QPushButton(u"退出 (Esc)"_s, this), u"cmdExit"_s);
    auto* hint = named(new QLabel(u"词之间用空格分开；英文字母不分大小写。长度按字数计，两端包含在内。"_s, this),
                       u"lblHint"_s);
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(this, Layout);
    for (QPushButton* button : {cmdFile, cmdSave, cmdExit})
        plainButton(button);
    lstSaved->installEventFilter(this);
    QWidget* const tabOrder[] = {txtAll,  txtAny,  txtNone, txtRegex, txtMinLength, txtMaxLength, txtPath,
                                 cmdFile, cmdSave, cmdExit, lstMatch, lstSaved,     chkOnBatch};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    for (QLineEdit* box : {txtAll, txtAny, txtNone, txtRegex, txtMinLength, txtMaxLength})
        connect(box, &QLineEdit::textChanged, this, &frmRule::txtRule_Change);
    connect(txtPath, &QLineEdit::textChanged, this, [this] { currentTarget(); });
    connect(cmdFile, &QPushButton::clicked, this, &frmRule::cmdFile_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmRule::cmdSave_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::reject);
    txtAll->setFocus();
}

void frmRule::Init(const QString& allWords)
{
    txtAll->setText(allWords);
    Modal::exec(*this);
}

bool frmRule::CommandKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    if (modifiers == Qt::ControlModifier && enter)
        cmdFile_Click();
    else if (modifiers == Qt::ControlModifier && key.key() == Qt::Key_S)
        cmdSave_Click();
    else if (modifiers == Qt::NoModifier && key.key() == Qt::Key_Escape)
        reject();
    else
        return false;
    return true;
}

void frmRule::keyPressEvent(QKeyEvent* event)
{
    if (!CommandKey(*event))
        FixedDialog::keyPressEvent(event);
}

bool frmRule::eventFilter(QObject* watched, QEvent* event)
{
    // The buttons press themselves on Enter; Ctrl+Enter on them still files.
    if (event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (watched == lstSaved && key.key() == Qt::Key_Delete && key.modifiers() == Qt::NoModifier) {
            deleteSaved();
            return true;
        }
        if (CommandKey(key))
            return true;
    }
    return watched != lstSaved && FixedDialog::eventFilter(watched, event);
}

Rule frmRule::currentRule(QString& problem) const
{
    Rule rule {RuleForm::words(txtAll->text()),
               RuleForm::words(txtAny->text()),
               RuleForm::words(txtNone->text()),
               txtRegex->text(),
               {},
               {}};
    bool minValid = true;
    bool maxValid = true;
    rule.minLength = RuleForm::length(txtMinLength->text(), minValid);
    rule.maxLength = RuleForm::length(txtMaxLength->text(), maxValid);
    problem = !minValid || !maxValid ? u"长度须是不小于 0 的整数。"_s : RuleForm::problem(rule);
    return rule;
}

void frmRule::txtRule_Change()
{
    // A rule that cannot run is said at once; one that can is counted once the typing pauses.
    QString problem;
    currentRule(problem);
    if (!problem.isEmpty()) {
        m_pause->stop();
        m_scanner->stop();
        lstMatch->clear();
        lblCount->setText(problem);
        setTextColour(lblCount, Qt::red);
        return;
    }
    lblCount->setText(u"正在计数…"_s);
    setTextColour(lblCount, palette().color(QPalette::WindowText));
    m_pause->start();
}

void frmRule::countRule()
{
    QString problem;
    const Rule rule = currentRule(problem);
    if (problem.isEmpty())
        m_scanner->scan(rule);
}

void frmRule::showMatches(const RuleMatches& matches)
{
    lstMatch->clear();
    QStringList shown;
    for (const KeywordRow& row : matches.first)
        shown << row.keywords;
    lstMatch->addItems(shown);
    lblCount->setText(matches.count > Shown
                          ? u"有 %1 个未分类关键词符合规则，列出前 %2 个。"_s.arg(matches.count).arg(Shown)
                          : u"有 %1 个未分类关键词符合规则。"_s.arg(matches.count));
}

std::optional<ClassRow> frmRule::currentTarget()
{
    if (!txtPath->text().isEmpty()) {
        const auto reached = RuleForm::byQuickKeys(Conn, txtPath->text());
        lblTarget->setText(reached ? ClassCode::shownPath(reached->path) : reached.error());
        return reached ? std::optional(*reached) : std::nullopt;
    }
    const int selected = m_session.selected();
    if (selected < 0 || selected >= m_session.classes().size()) {
        lblTarget->setText(u"主窗口中没有选定分类，请输入快捷键。"_s);
        return std::nullopt;
    }
    const ClassRow& chosen = m_session.classes().at(selected);
    lblTarget->setText(ClassCode::shownPath(chosen.path) + u"（分类列表中选定的）"_s);
    return chosen;
}

void frmRule::cmdFile_Click()
{
    QString problem;
    const Rule rule = currentRule(problem);
    if (!problem.isEmpty())
        return MessageBox::inform(this, problem + u"没有归类任何关键词。"_s);
    const std::optional<ClassRow> target = currentTarget();
    if (!target)
        return MessageBox::inform(this, lblTarget->text());
    RuleScan all;
    all.listLimit = 0;
    all.ids = true;
    const auto matches = Conn.matchRule(rule, all);
    if (!matches)
        return MessageBox::inform(this, matches.error());
    if (matches->ids.isEmpty())
        return MessageBox::inform(this, u"没有符合规则的未分类关键词。"_s);
    const std::optional<BulkFiling> filed = m_session.FileMany({{target->code, matches->ids}});
    if (filed)
        MessageBox::inform(this, RuleForm::report(*filed, ClassCode::shownPath(target->path)));
    countRule();
}

void frmRule::cmdSave_Click()
{
    QString problem;
    const Rule rule = currentRule(problem);
    if (!problem.isEmpty())
        return MessageBox::inform(this, problem + u"规则没有保存。"_s);
    const std::optional<ClassRow> target = currentTarget();
    if (!target)
        return MessageBox::inform(this, lblTarget->text());
    if (const auto saved = Conn.saveRule(rule, target->code); !saved)
        return MessageBox::inform(this, saved.error());
    LoadSavedRules();
    lstSaved->setCurrentRow(lstSaved->count() - 1);
}

void frmRule::deleteSaved()
{
    const int row = lstSaved->currentRow();
    if (row < 0 || row >= m_saved.size())
        return;
    if (const auto deleted = Conn.deleteSavedRule(m_saved.at(row).id); !deleted)
        return MessageBox::inform(this, deleted.error());
    LoadSavedRules();
    lstSaved->setCurrentRow(std::min(row, lstSaved->count() - 1));
}

void frmRule::LoadSavedRules()
{
    lstSaved->clear();
    auto saved = Conn.savedRules();
    if (!saved) {
        m_saved.clear();
        return MessageBox::inform(this, saved.error());
    }
    m_saved = std::move(saved).value();
    for (const SavedRule& s : std::as_const(m_saved)) {
        const auto owner = Conn.classByCode(s.classCode);
        const QString where = owner && owner->has_value() ? ClassCode::shownPath((*owner)->path) : u"（分类已删除）"_s;
        lstSaved->addItem(where + u"：" + RuleForm::summary(s.rule));
    }
}

void frmRule::chkOnBatch_Toggle(bool on)
{
    if (const Status stored = Conn.setRulesOnNewBatches(on); !stored) {
        MessageBox::inform(this, stored.error());
        const QSignalBlocker quiet(chkOnBatch);
        chkOnBatch->setChecked(!on);
    }
}
