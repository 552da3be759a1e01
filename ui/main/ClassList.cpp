#include "frmKorvel.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "ui/MessageBox.h"
#include "ui/class_editor/frmSetClass.h"

#include <QPushButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The class list: one level of the tree at a time, the moves down and up, and the class commands.

QTreeWidgetItem* frmKorvel::selectedItem() const
{
    const QList<QTreeWidgetItem*> items = ListView2->selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

void frmKorvel::fillClassList(const QList<ClassRow>& classes, const QString& selectCode)
{
    QuickKeys = QStringList(classes.size() + 1);
    // Filling the list is not the operator selecting a class.
    const QSignalBlocker blocker(ListView2);
    ListView2->clear();
    SelCode.clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(classes.size());
    QTreeWidgetItem* selected = nullptr;
    for (qsizetype i = 0; i < classes.size(); ++i) {
        const ClassRow& row = classes.at(i);
        QuickKeys[i] = row.qKey;
        auto* item = new QTreeWidgetItem({row.title, row.qKey, QString::number(row.maxnext)});
        item->setData(0, KeyRole, ClassCode::itemKey(row.code));
        item->setData(0, TagRole, row.qKey);
        items.append(item);
        if (row.code == selectCode)
            selected = item;
    }
    ListView2->addTopLevelItems(items);
    if (!items.isEmpty())
        ListView2->setCurrentItem(selected ? selected : items.first());
    showSuggestion();
}

bool frmKorvel::LoadClassList()
{
    const auto classes = Conn.classesUnder(ParentCode);
    if (!classes) {
        showStoreError(classes.error());
        return false;
    }
    fillClassList(*classes, {});

    if (QTreeWidgetItem* item = selectedItem()) {
        SelCode = KeyToCode(item->data(0, KeyRole).toString());
        LoadClassKeywords();
    }
    UpdateNavButtons();
    return true;
}

void frmKorvel::GoDown()
{
    QTreeWidgetItem* item = selectedItem();
    if (!item)
        return;
    const QString previous = ParentCode;
    ParentCode = KeyToCode(item->data(0, KeyRole).toString());
    if (!LoadClassList())
        ParentCode = previous;
}

void frmKorvel::GoUp()
{
    const QString previous = ParentCode;
    ParentCode = ClassCode::parentCode(ParentCode);
    if (!LoadClassList())
        ParentCode = previous;
}

void frmKorvel::UpdateNavButtons()
{
    cmdUp->setEnabled(!ParentCode.isEmpty());
    cmdDown->setEnabled(selectedItem() != nullptr);
}

void frmKorvel::cmdUp_Click()
{
    GoUp();
}

void frmKorvel::cmdDown_Click()
{
    GoDown();
}

void frmKorvel::ListView2_DblClick()
{
    GoDown();
}

void frmKorvel::ListView2_KeyDown(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        GoDown();
}

void frmKorvel::Form_KeyDown(int key)
{
    if (key == Qt::Key_Escape)
        GoUp();
}

void frmKorvel::ListView2_ItemClick(QTreeWidgetItem* item)
{
    if (!item)
        return;
    const QString code = KeyToCode(item->data(0, KeyRole).toString());
    if (code == SelCode)
        return;
    SelCode = code;
    LoadClassKeywords();
    UpdateNavButtons();
}

void frmKorvel::cmdAdd_Click()
{
    frmSetClass dialog(Conn, this);
    if (dialog.Add(ParentCode))
        LoadClassList();
}

void frmKorvel::cmdEdit_Click()
{
    QTreeWidgetItem* item = selectedItem();
    if (!item)
        return;
    frmSetClass dialog(Conn, this);
    if (dialog.Edit(KeyToCode(item->data(0, KeyRole).toString())))
        LoadClassList();
}

void frmKorvel::cmdDel_Click()
{
    QTreeWidgetItem* item = selectedItem();
    if (!item)
        return;
    const auto deleted = Conn.deleteClassIfEmpty(KeyToCode(item->data(0, KeyRole).toString()));
    if (!deleted) {
        showStoreError(deleted.error());
        return;
    }
    if (*deleted == Store::ClassDeletion::NotEmpty) {
        MessageBox::inform(this, u"分类不为空，不能删除！"_s);
        return;
    }
    LoadClassList();
}
