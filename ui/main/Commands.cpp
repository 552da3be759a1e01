#include "KeywordGridModel.h"
#include "frmKorvel.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "store/suggest/Suggester.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/find/frmFind.h"
#include "ui/keys/frmKeys.h"
#include "ui/progress/frmProgress.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <QThread>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The commands beyond the classic window, on keys it leaves free: taking back and making again the last
// filings, finding a keyword, the progress so far, the list of keys, and class suggestions.

namespace {

// Suggestions learn from at most this many of the newest filed keywords when the window opens, and from every
// filing after that.
constexpr qint64 LearnFrom = 1000000;
const QColor SuggestedColour(0, 128, 0);

} // namespace

bool frmKorvel::CommandKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier) {
        switch (key.key()) {
        case Qt::Key_Z:
            UndoFiling();
            return true;
        case Qt::Key_Y:
            RedoFiling();
            return true;
        case Qt::Key_F:
            FindKeyword();
            return true;
        default:
            return false;
        }
    }
    if (modifiers != Qt::NoModifier)
        return false;
    switch (key.key()) {
    case Qt::Key_F1:
        ShowKeys();
        return true;
    case Qt::Key_F2:
        AcceptSuggestion();
        return true;
    case Qt::Key_F5:
        ShowProgress();
        return true;
    default:
        return false;
    }
}

void frmKorvel::UndoFiling()
{
    const std::optional<KeywordRow> last = m_history.lastFiled();
    if (!last)
        return;
    const auto back = Conn.unfileKeyword(last->id, last->classcode);
    if (!back) {
        showStoreError(back.error());
        return;
    }
    const bool taken = *back == Store::Change::Done;
    m_history.tookBack(taken);
    if (!taken) {
        MessageBox::inform(this, u"不能撤销：关键词“%1”在此后已被删除或改动。"_s.arg(last->keywords));
        return;
    }
    // As a take-back in the grid: the keyword is unsorted again and the current one.
    KeyId = last->id;
    txtKey->setText(last->keywords);
    showSuggestion();
    LoadClassKeywords();
}

void frmKorvel::RedoFiling()
{
    const std::optional<KeywordRow> undone = m_history.lastUndone();
    if (!undone)
        return;
    const auto target = Conn.classByCode(undone->classcode);
    if (!target) {
        showStoreError(target.error());
        return;
    }
    if (!target->has_value()) {
        m_history.dropUndone();
        MessageBox::inform(this, u"不能恢复：分类“%1”已不在数据库中。"_s.arg(undone->classname));
        return;
    }
    // Held first, so that it is not filed under another window of the team that is showing it.
    const qint64 shown = KeyId;
    const auto held = Conn.holdKeyword(undone->id);
    if (!held) {
        showStoreError(held.error());
        return;
    }
    if (!*held) {
        m_history.dropUndone();
        MessageBox::inform(this, u"不能恢复：关键词“%1”正由另一个窗口设置。"_s.arg(undone->keywords));
        return;
    }
    m_redoing = true;
    const bool filed = fileInto(undone->id, undone->classcode, (*target)->title);
    m_redoing = false;
    if (!filed)
        m_history.dropUndone();
    // A window holds one keyword: holding that one let go of the keyword shown. Hold it again, or move on if
    // another window has taken it meanwhile.
    if (shown != 0 && shown != undone->id) {
        const auto again = Conn.holdKeyword(shown);
        if (!again || !*again)
            LoadNextKeyword();
    }
    LoadClassKeywords();
}

void frmKorvel::FindKeyword()
{
    frmFind find(Conn, this);
    const std::optional<FoundKeyword> chosen = find.Choose();
    if (!chosen)
        return;
    const KeywordRow& row = chosen->row;
    if (row.isSet != 1 || row.classcode.isEmpty()) {
        // Unsorted: it becomes the current keyword, unless another window of the team holds it.
        const auto held = Conn.holdKeyword(row.id);
        if (!held) {
            showStoreError(held.error());
        } else if (!*held) {
            MessageBox::inform(this, u"关键词“%1”正由另一个窗口设置。"_s.arg(row.keywords));
        } else {
            KeyId = row.id;
            txtKey->setText(row.keywords);
            showSuggestion();
        }
        return;
    }
    // Filed: its class is selected at its own level, and its row in the grid.
    const QString previous = ParentCode;
    ParentCode = ClassCode::parentCode(row.classcode);
    if (!LoadClassList()) {
        ParentCode = previous;
        return;
    }
    for (int i = 0; i < ListView2->topLevelItemCount(); ++i) {
        if (KeyToCode(ListView2->topLevelItem(i)->data(0, KeyRole).toString()) == row.classcode)
            ListView2->setCurrentItem(ListView2->topLevelItem(i));
    }
    if (SelCode != row.classcode) {
        MessageBox::inform(this, u"关键词“%1”所在的分类已不在分类列表中。"_s.arg(row.keywords));
        return;
    }
    const auto position = m_gridModel->rowOf(row.classcode, row.id);
    if (!position) {
        showStoreError(position.error());
        return;
    }
    const QModelIndex index = m_gridModel->index(int(*position), KeywordGridModel::KeywordColumn);
    Grid1->scrollTo(index, QAbstractItemView::PositionAtCenter);
    Grid1->setCurrentIndex(index);
}

void frmKorvel::ShowProgress()
{
    QList<ClassRow> level;
    for (int i = 0; i < ListView2->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = ListView2->topLevelItem(i);
        level.append({0, KeyToCode(item->data(0, KeyRole).toString()), item->text(0), {}, 0, {}});
    }
    frmProgress progress(Conn, this);
    const double minutes = m_sessionClock.isValid() ? double(m_sessionClock.elapsed()) / 60000.0 : 0;
    if (progress.Form_Load(level, m_sessionFilings, minutes))
        Modal::exec(progress);
}

void frmKorvel::ShowKeys()
{
    frmKeys keys(this);
    Modal::exec(keys);
}

void frmKorvel::AcceptSuggestion()
{
    if (KeyId == 0) {
        MessageBox::inform(this, u"没有需要设定的关键词！"_s);
        return;
    }
    if (m_suggested.isEmpty()) {
        MessageBox::inform(this, u"还没有建议的分类：已设置的关键词太少。"_s);
        return;
    }
    const auto target = Conn.classByCode(m_suggested);
    if (!target) {
        showStoreError(target.error());
        return;
    }
    if (!target->has_value()) {
        MessageBox::inform(this, u"建议的分类已不在数据库中。"_s);
        return;
    }
    fileInto(KeyId, m_suggested, (*target)->title);
    LoadClassKeywords();
}

void frmKorvel::showSuggestion()
{
    m_suggested = m_suggester && KeyId != 0 ? m_suggester->suggest(txtKey->text()).value(0) : QString();
    for (int i = 0; i < ListView2->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ListView2->topLevelItem(i);
        const QString code = KeyToCode(item->data(0, KeyRole).toString());
        const bool marked = !m_suggested.isEmpty() && ClassCode::isInSubtree(m_suggested, code);
        QFont font = item->font(0);
        font.setBold(marked);
        for (int column = 0; column < 2; ++column) {
            item->setFont(column, font);
            item->setForeground(column, marked ? QBrush(SuggestedColour) : QBrush());
        }
    }
}

void frmKorvel::learnInBackground()
{
    // The store's keywords are read on a thread of their own over a connection of their own; the window takes
    // the model when it is ready and meanwhile keeps what was filed or taken back, to learn it then.
    const QString location = Conn.location();
    m_learning.reset(QThread::create([this, location] {
        auto store = openStore(location);
        auto suggester = std::make_shared<Suggester>();
        if (store)
            (void)(*store)->readFiled(
                LearnFrom, [&](const QString& code, const QString& keyword) { suggester->learn(code, keyword); });
        QMetaObject::invokeMethod(
            this,
            [this, suggester] {
                for (const auto& [row, learnt] : std::as_const(m_toLearn))
                    learnt ? suggester->learn(row.classcode, row.keywords)
                           : suggester->forget(row.classcode, row.keywords);
                m_toLearn.clear();
                m_suggester = suggester;
                showSuggestion();
            },
            Qt::QueuedConnection);
    }));
    // Learning gives way to the operator's own work.
    m_learning->start(QThread::LowestPriority);
}
