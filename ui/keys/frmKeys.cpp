#include "frmKeys.h"

#include "ui/Layout.h"

#include <QKeyEvent>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {{u"lstKeys", 120, 120, 7260, 5760}};

struct Key
{
    const char16_t* key;
    const char16_t* does;
};

// Headings stand alone, with an empty second column.
constexpr Key Keys[] = {
    {u"主窗口", u""},
    {u"分类的快捷键", u"有过下级的分类：进入下级；其他的：设置当前关键词"},
    {u"Esc", u"返回上级分类"},
    {u"Enter（在分类列表中）", u"进入所选分类的下级"},
    {u"双击分类", u"进入该分类的下级"},
    {u"右键单击分类列表", u"把当前关键词设置到所选分类"},
    {u"右键单击表格中的关键词", u"取回该关键词，作为当前关键词重新设置"},
    {u"双击当前关键词", u"查看接下来要设置的 100 个关键词"},
    {u"Tab", u"在各个控件之间移动"},
    {u"Ctrl+Z", u"撤销最近的设置（最多 100 次）"},
    {u"Ctrl+Y", u"恢复刚撤销的设置"},
    {u"Ctrl+F", u"查找关键词"},
    {u"F1", u"本按键一览"},
    {u"F2", u"设置到建议的分类（绿色粗体标出）"},
    {u"F3", u"按规则归类：符合条件的未分类关键词一次归入一个分类"},
    {u"F4", u"词频：未分类关键词中最常见的词"},
    {u"F5", u"进度：数量、速度和各分类的关键词"},
    {u"F6", u"批量接受建议：当前层级中足够确定的关键词，按分类列出"},
    {u"Ctrl+N", u"增加关键词"},
    {u"Ctrl+E", u"导出关键词"},
    {u"Ctrl+Shift+Delete", u"删除所有关键词（先询问）"},
    {u"增加关键词", u""},
    {u"Ctrl+V", u"粘贴关键词，一行一个"},
    {u"Ctrl+O", u"从文件增加关键词（也可把文件拖到文本框中）"},
    {u"Alt+X", u"退出"},
    {u"查找关键词", u""},
    {u"↑ ↓", u"在找到的关键词之间移动"},
    {u"Enter、双击", u"选定：显示其分类和所在行，或设为当前关键词"},
    {u"Esc", u"关闭"},
    {u"按规则归类", u""},
    {u"Ctrl+Enter", u"全部归入目标分类（Ctrl+Z 整体撤销）"},
    {u"Ctrl+S", u"保存规则及其分类"},
    {u"Delete（在保存的规则中）", u"删除所选的规则"},
    {u"Esc", u"关闭"},
    {u"词频", u""},
    {u"Enter、双击", u"以所选的词打开按规则归类"},
    {u"Insert", u"以所选的词在本级建立分类"},
    {u"F5", u"重新统计"},
    {u"Esc", u"关闭"},
    {u"批量接受建议", u""},
    {u"Delete", u"去掉所选的关键词（或分类及其全部关键词）"},
    {u"Ctrl+Enter", u"全部设置（主窗口中 Ctrl+Z 一次全部撤销）"},
    {u"Esc", u"关闭"},
    {u"类别管理", u""},
    {u"Enter（在按钮上）", u"按下该按钮"},
};

} // namespace

frmKeys::frmKeys(QWidget* parent)
    : FixedDialog(u"按键一览"_s, 7500, 6000, parent)
{
    setObjectName(u"frmKeys"_s);
    lstKeys = named(new QTreeWidget(this), u"lstKeys"_s);
    lstKeys->setColumnCount(2);
    lstKeys->setHeaderLabels({u"按键"_s, u"作用"_s});
    lstKeys->setRootIsDecorated(false);
    lstKeys->setColumnWidth(0, twips(2400));
    lstKeys->setWordWrap(true);
    for (const Key& k : Keys) {
        auto* item = new QTreeWidgetItem({QString::fromUtf16(k.key), QString::fromUtf16(k.does)});
        if (item->text(1).isEmpty()) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
        }
        lstKeys->addTopLevelItem(item);
    }
    place(this, Layout);
}

void frmKeys::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        FixedDialog::keyPressEvent(event);
}
