#include "frmTerms.h"

#include "session/SortingSession.h"
#include "store/Store.h"
#include "store/terms/TermCounter.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/class_editor/frmSetClass.h"
#include "ui/rule/frmRule.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"lblStatus", 120, 120, 6360, 270},  {u"lstTerms", 120, 450, 6360, 6360}, {u"cmdRule", 120, 6960, 2040, 375},
    {u"cmdClass", 2280, 6960, 2100, 375}, {u"cmdExit", 4500, 6960, 1980, 375},
};

const QString CounterName = u"termCounter"_s;

// One counter for the window that opens this one, so that the table is counted once and then followed.
TermCounter* counterFor(Store& conn, QObject* opener, QObject* self)
{
    QObject* owner = opener ? opener : self;
    if (auto* kept = owner->findChild<TermCounter*>(CounterName, Qt::FindDirectChildrenOnly))
        return kept;
    auto* counter = new TermCounter(false, owner);
    counter->setObjectName(CounterName);
    counter->follow(conn);
    return counter;
}

} // namespace

frmTerms::frmTerms(Store& conn, SortingSession& session, QWidget* parent)
    : FixedDialog(u"词频"_s, 6600, 7500, parent)
    , Conn(conn)
    , m_session(session)
    , m_counter(counterFor(conn, parent, this))
{
    setObjectName(u"frmTerms"_s);
    lblStatus = named(new QLabel(this), u"lblStatus"_s);
    lstTerms = named(new QTreeWidget(this), u"lstTerms"_s);
    lstTerms->setColumnCount(3);
    lstTerms->setHeaderLabels({u"词"_s, u"关键词数"_s, u"本级分类"_s});
    lstTerms->setRootIsDecorated(false);
    lstTerms->setUniformRowHeights(true);
    lstTerms->setAllColumnsShowFocus(true);
    lstTerms->setColumnWidth(0, twips(2900));
    lstTerms->setColumnWidth(1, twips(1300));
    cmdRule = named(new QPushButton(u"按此词归类 (Enter)"_s, this), u"cmdRule"_s);
    cmdClass = named(new QPushButton(u"建立分类 (Insert)"_s, this), u"cmdClass"_s);
    cmdExit = named(new QPushButton(u"关闭 (Esc)"_s, this), u"cmdExit"_s);
    place(this, Layout);
    for (QPushButton* button : {cmdRule, cmdClass, cmdExit})
        plainButton(button);
    lstTerms->installEventFilter(this);
    connect(cmdRule, &QPushButton::clicked, this, &frmTerms::cmdRule_Click);
    connect(cmdClass, &QPushButton::clicked, this, &frmTerms::cmdClass_Click);
    connect(cmdExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(lstTerms, &QTreeWidget::itemDoubleClicked, this, &frmTerms::cmdRule_Click);
    connect(m_counter, &TermCounter::progress, this, &frmTerms::showProgress);
    connect(m_counter, &TermCounter::changed, this, &frmTerms::LoadTerms);
    lstTerms->setFocus();
}

void frmTerms::Init()
{
    // A batch added since the last count, or changes another window of a team made, are only seen by a recount.
    const auto totals = Conn.keywordTotals();
    if (m_counter->running())
        showProgress(0, totals ? totals->unsorted : 0);
    else if (m_counter->stale() || (totals && totals->unsorted != m_counter->table().keywords()))
        recount();
    else
        LoadTerms();
    Modal::exec(*this);
}

void frmTerms::recount()
{
    m_counter->start(Conn.location());
    showProgress(0, 0);
}

void frmTerms::showProgress(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(std::min<qint64>(100, done * 100 / total)) : 0;
    lblStatus->setText(u"正在统计未分类关键词中的词… %1%"_s.arg(percent));
}

void frmTerms::LoadTerms()
{
    if (m_counter->running())
        return;
    if (!m_counter->status())
        return lblStatus->setText(u"统计失败：%1（F5 重新统计）"_s.arg(m_counter->status().error()));
    const QString keep = currentTerm();
    QStringList titles;
    for (const ClassRow& c : m_session.classes())
        titles << c.title;
    m_terms = m_counter->top(Shown, titles);
    lstTerms->clear();
    QList<QTreeWidgetItem*> items;
    for (const TermCount& t : std::as_const(m_terms)) {
        auto* item
            = new QTreeWidgetItem({t.term, QString::number(t.count), t.classTitle ? u"✓ 已是分类"_s : QString()});
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        if (t.classTitle)
            item->setForeground(0, palette().color(QPalette::PlaceholderText));
        items.append(item);
    }
    lstTerms->addTopLevelItems(items);
    const auto kept
        = std::find_if(m_terms.cbegin(), m_terms.cend(), [&](const TermCount& t) { return t.term == keep; });
    if (!items.isEmpty())
        lstTerms->setCurrentItem(items.at(kept != m_terms.cend() ? kept - m_terms.cbegin() : 0));
    lblStatus->setText(u"%1 个未分类关键词，%2 个词%3。"_s.arg(m_counter->table().keywords())
                           .arg(m_counter->table().size())
                           .arg(m_counter->stale() ? u"（其他窗口有改动，F5 重新统计）"_s : QString()));
}

QString frmTerms::currentTerm() const
{
    const int row = lstTerms->indexOfTopLevelItem(lstTerms->currentItem());
    return row >= 0 && row < m_terms.size() ? m_terms.at(row).term : QString();
}

bool frmTerms::CommandKey(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        cmdRule_Click();
    else if (key == Qt::Key_Insert)
        cmdClass_Click();
    else if (key == Qt::Key_F5)
        recount();
    else if (key == Qt::Key_Escape)
        reject();
    else
        return false;
    return true;
}

void frmTerms::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() != Qt::NoModifier || !CommandKey(event->key()))
        FixedDialog::keyPressEvent(event);
}

bool frmTerms::eventFilter(QObject* watched, QEvent* event)
{
    // The list takes Enter for itself otherwise.
    if (watched == lstTerms && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return key->modifiers() == Qt::NoModifier && CommandKey(key->key());
    }
    return FixedDialog::eventFilter(watched, event);
}

void frmTerms::cmdRule_Click()
{
    const QString term = currentTerm();
    if (term.isEmpty())
        return;
    frmRule rule(Conn, m_session, this);
    rule.Init(term);
}

void frmTerms::cmdClass_Click()
{
    const QString term = currentTerm();
    if (term.isEmpty())
        return;
    frmSetClass dialog(Conn, this);
    if (dialog.Add(m_session.parentCode(), term))
        m_session.LoadClassList(m_session.selCode());
    LoadTerms();
}
