#include "frmFind.h"

#include "store/ClassCode.h"
#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"Label1", 120, 165, 600, 300},
    {u"txtFind", 720, 120, 5910, 345},
    {u"lstFound", 120, 600, 6510, 4980},
    {u"lblCount", 120, 5670, 6510, 270},
};

} // namespace

frmFind::frmFind(Store& conn, QWidget* parent)
    : FixedDialog(u"查找关键词"_s, 6750, 6060, parent)
    , Conn(conn)
{
    setObjectName(u"frmFind"_s);
    Label1 = named(new QLabel(u"查找："_s, this), u"Label1"_s);
    txtFind = named(new QLineEdit(this), u"txtFind"_s);
    lstFound = named(new QTreeWidget(this), u"lstFound"_s);
    lstFound->setColumnCount(3);
    lstFound->setHeaderLabels({u"关键词"_s, u"分类"_s, u"月均搜索量"_s});
    lstFound->setRootIsDecorated(false);
    lstFound->setUniformRowHeights(true);
    lstFound->setAllColumnsShowFocus(true);
    lstFound->setColumnWidth(0, twips(2800));
    lstFound->setColumnWidth(1, twips(2300));
    lblCount = named(new QLabel(this), u"lblCount"_s);
    place(this, Layout);
    txtFind->installEventFilter(this);
    lstFound->installEventFilter(this);
    connect(txtFind, &QLineEdit::textChanged, this, &frmFind::txtFind_Change);
    connect(lstFound, &QTreeWidget::itemDoubleClicked, this, &frmFind::choose);
    txtFind->setFocus();
}

std::optional<FoundKeyword> frmFind::Choose()
{
    Modal::exec(*this);
    return m_chosen;
}

void frmFind::txtFind_Change()
{
    lstFound->clear();
    m_found.clear();
    lblCount->clear();
    if (txtFind->text().isEmpty())
        return;
    // One more than is shown tells whether there are more.
    auto found = Conn.findKeywords(txtFind->text(), Shown + 1);
    if (!found) {
        MessageBox::inform(this, found.error());
        return;
    }
    m_found = std::move(found).value();
    const bool more = m_found.size() > Shown;
    m_found.resize(std::min<qsizetype>(m_found.size(), Shown));
    QList<qint64> ids;
    for (const FoundKeyword& f : std::as_const(m_found))
        ids << f.row.id;
    const auto metrics = Conn.metricsOf(ids);
    if (!metrics) {
        MessageBox::inform(this, metrics.error());
        return;
    }
    QList<QTreeWidgetItem*> items;
    for (const FoundKeyword& f : std::as_const(m_found)) {
        const bool filed = f.row.isSet == 1 && !f.row.classcode.isEmpty();
        const QString where = !filed ? u"（未分类）"_s
            : f.classPath.isEmpty()  ? f.row.classname
                                     : ClassCode::shownPath(f.classPath);
        const KeywordMetrics m = metrics->value(f.row.id);
        const QString volume = !m.volume ? QString()
            : m.volumeHigh               ? u"%1–%2"_s.arg(*m.volume).arg(*m.volumeHigh)
                                         : QString::number(*m.volume);
        auto* item = new QTreeWidgetItem({f.row.keywords, where, volume});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    lstFound->addTopLevelItems(items);
    if (!items.isEmpty())
        lstFound->setCurrentItem(items.first());
    lblCount->setText(more ? u"只列出前 %1 个。"_s.arg(Shown) : u"找到 %1 个。"_s.arg(m_found.size()));
}

void frmFind::choose()
{
    const int row = lstFound->indexOfTopLevelItem(lstFound->currentItem());
    if (row < 0 || row >= m_found.size())
        return;
    m_chosen = m_found.at(row);
    accept();
}

bool frmFind::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            choose();
            return true;
        }
        // Up and down in the box move through the list, so that the hands stay on the keys.
        if (watched == txtFind && (key == Qt::Key_Up || key == Qt::Key_Down)) {
            const int row = lstFound->indexOfTopLevelItem(lstFound->currentItem()) + (key == Qt::Key_Up ? -1 : 1);
            if (QTreeWidgetItem* item = lstFound->topLevelItem(row))
                lstFound->setCurrentItem(item);
            return true;
        }
    }
    return FixedDialog::eventFilter(watched, event);
}

void frmFind::keyPressEvent(QKeyEvent* event)
{
    // Unlike the classic dialogs, Esc closes it.
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        FixedDialog::keyPressEvent(event);
}
