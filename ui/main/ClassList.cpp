#include "ClassList.h"

#include "store/ClassCode.h"
#include "ui/Layout.h"

#include <QHeaderView>

using namespace Qt::StringLiterals;

namespace {

constexpr int ColumnWidths[] = {3000, 800, 0};
const QColor SuggestedColour(0, 128, 0);

} // namespace

ClassList::ClassList(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(3);
    setHeaderLabels({u"类别"_s, u"快捷键"_s, u"最大下级编号"_s});
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    for (int column = 0; column < 3; ++column)
        setColumnWidth(column, twips(ColumnWidths[column]));
    setColumnHidden(2, true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ClassList::draw(const QList<ClassRow>& classes, int selected)
{
    const QSignalBlocker blocker(this);
    clear();
    QList<QTreeWidgetItem*> items;
    for (const ClassRow& row : classes) {
        auto* item = new QTreeWidgetItem({row.title, row.qKey, QString::number(row.maxnext)});
        item->setData(0, KeyRole, ClassCode::itemKey(row.code));
        items.append(item);
    }
    addTopLevelItems(items);
    drawSelection(selected);
}

void ClassList::drawSelection(int selected)
{
    const QSignalBlocker blocker(this);
    if (selected >= 0 && selected < topLevelItemCount())
        setCurrentItem(topLevelItem(selected));
}

void ClassList::drawSuggestion(const QString& suggested)
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = topLevelItem(i);
        const bool marked = !suggested.isEmpty() && ClassCode::isInSubtree(suggested, KeyToCode(keyOf(item)));
        QFont font = item->font(0);
        font.setBold(marked);
        for (int column = 0; column < 2; ++column) {
            item->setFont(column, font);
            item->setForeground(column, marked ? QBrush(SuggestedColour) : QBrush());
        }
    }
}

QString ClassList::selectedKey() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? QString() : keyOf(items.first());
}
