#include "KeywordGridModel.h"
#include "frmKorvel.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "store/export/Export.h"
#include "ui/FileDialog.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Product.h"
#include "ui/StoreJob.h"
#include "ui/add_words/frmAddWords.h"
#include "ui/export/ExportFlow.h"
#include "ui/pending/frmNeedSet.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// The filing loop, the grid with its take-back and export, and the keyword commands.

void frmKorvel::LoadNextKeyword()
{
    const auto next = Conn.nextUnsorted();
    if (!next) {
        showStoreError(next.error());
        return;
    }
    if (!next->has_value()) {
        MessageBox::inform(this, u"所有关键词已设置完毕！"_s);
        KeyId = 0;
        txtKey->clear();
        return;
    }
    KeyId = (*next)->id;
    txtKey->setText((*next)->keywords);
    showSuggestion();
}

void frmKorvel::AssignKeyword()
{
    if (KeyId == 0) {
        MessageBox::inform(this, u"没有需要设定的关键词！"_s);
        return;
    }
    QTreeWidgetItem* item = selectedItem();
    if (SelCode.isEmpty() || !item) {
        MessageBox::inform(this, u"请选择关键词分类！"_s);
        return;
    }
    fileInto(KeyId, KeyToCode(item->data(0, KeyRole).toString()), item->text(0));
}

bool frmKorvel::fileInto(qint64 id, const QString& code, const QString& title)
{
    const auto filed = Conn.fileKeyword(id, code, title);
    if (!filed) {
        showStoreError(filed.error());
        return false;
    }
    switch (*filed) {
    case Store::Change::Done:
        break;
    case Store::Change::ClassGone:
        MessageBox::inform(this, u"分类“%1”已不在数据库中，关键词没有设置。"_s.arg(title));
        return false;
    case Store::Change::Gone:
        MessageBox::inform(this, u"当前关键词已不在数据库中，没有设置。"_s);
        break;
    case Store::Change::Moved:
        MessageBox::inform(this, u"当前关键词已被设置到分类中，没有再次设置。"_s);
        break;
    }
    // Only the current keyword moves the loop on: a keyword filed again by Ctrl+Y may be another.
    if (id == KeyId)
        LoadNextKeyword();
    return *filed == Store::Change::Done;
}

bool frmKorvel::Form_KeyPress(const QString& character)
{
    for (const QString& entry : std::as_const(QuickKeys)) {
        if (entry.isEmpty() || entry != character)
            continue;
        QTreeWidgetItem* match = nullptr;
        for (int i = 0; i < ListView2->topLevelItemCount() && !match; ++i) {
            if (ListView2->topLevelItem(i)->data(0, TagRole).toString() == entry)
                match = ListView2->topLevelItem(i);
        }
        if (!match)
            continue;
        {
            const QSignalBlocker blocker(ListView2);
            ListView2->setCurrentItem(match);
        }
        if (match->text(2) != u"0"_s) {
            GoDown();
        } else {
            SelCode = KeyToCode(match->data(0, KeyRole).toString());
            AssignKeyword();
            LoadClassKeywords();
        }
        return true;
    }
    return false;
}

void frmKorvel::ListView2_MouseUp(Qt::MouseButton button)
{
    if (button != Qt::RightButton)
        return;
    AssignKeyword();
    LoadClassKeywords();
}

// ---- Grid ----

void frmKorvel::LoadClassKeywords()
{
    if (SelCode.isEmpty())
        return;
    // The grid already shows this subtree: it changes by the rows written since.
    Grid1->setUpdatesEnabled(false);
    const Status loaded = m_gridModel->loadedCode() == SelCode ? m_gridModel->sync() : m_gridModel->load(SelCode);
    Grid1->setUpdatesEnabled(true);
    if (!loaded)
        showStoreError(loaded.error());
}

void frmKorvel::Grid1_MouseDown(Qt::MouseButton button, const QPoint& position)
{
    if (button != Qt::RightButton)
        return;
    const QModelIndex index = Grid1->indexAt(position);
    const KeywordRow* shown = index.isValid() ? m_gridModel->rowAt(index.row()) : nullptr;
    if (!shown)
        return;
    Grid1->setCurrentIndex(index);
    const KeywordRow row = *shown;
    const auto returned = Conn.unfileKeyword(row.id, row.classcode);
    if (!returned) {
        showStoreError(returned.error());
        return;
    }
    if (*returned == Store::Change::Done) {
        KeyId = row.id;
        txtKey->setText(row.keywords);
        showSuggestion();
        LoadClassKeywords();
        return;
    }
    MessageBox::inform(
        this, *returned == Store::Change::Gone ? u"这个关键词已不在数据库中。"_s : u"这个关键词已不在这个分类中。"_s);
    // Someone else changed the row: the grid is read again.
    if (const Status loaded = m_gridModel->load(m_gridModel->loadedCode()); !loaded)
        showStoreError(loaded.error());
}

void frmKorvel::lblExpert_Click()
{
    ExportFlow::run(this, Conn, m_gridModel->loadedCode());
}

void frmKorvel::lblAddWords_Click()
{
    frmAddWords dialog(Conn, this);
    if (dialog.Init())
        LoadNextKeyword();
}

void frmKorvel::txtKey_DblClick()
{
    frmNeedSet view(this);
    if (view.Form_Load(Conn))
        Modal::exec(view);
}

void frmKorvel::cmdDelKey_Click()
{
    const auto deleted = Conn.deleteKeyword(KeyId);
    if (!deleted) {
        showStoreError(deleted.error());
        return;
    }
    if (KeyId != 0 && *deleted != Store::Change::Done)
        MessageBox::inform(this,
                           *deleted == Store::Change::Gone ? u"当前关键词已不在数据库中。"_s
                                                           : u"当前关键词已被设置到分类中，没有删除。"_s);
    LoadNextKeyword();
}

void frmKorvel::lblClearWords_Click()
{
    const auto answer
        = MessageBox::show(this, u"确认删除所有关键词吗？ 数据将不可恢复！"_s, u"注意"_s, MessageBox::Icon::Exclamation,
                           MessageBox::Buttons::YesNo, MessageBox::Answer::Yes);
    if (answer != MessageBox::Answer::Yes)
        return;
    if (const Status deleted = Conn.deleteAllKeywords(); !deleted) {
        showStoreError(deleted.error());
        return;
    }
    LoadClassKeywords();
    // Every keyword is gone, so the grid lists none, even with no class selected to reload it for.
    if (const Status synced = m_gridModel->sync(); !synced)
        showStoreError(synced.error());
    KeyId = 0;
    txtKey->clear();
}
