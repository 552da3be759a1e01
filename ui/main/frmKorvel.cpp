#include "frmKorvel.h"

#include "KeywordGridModel.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "store/export/Export.h"
#include "ui/CommandLabel.h"
#include "ui/FileDialog.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Product.h"
#include "ui/StoreJob.h"
#include "ui/add_words/frmAddWords.h"
#include "ui/class_editor/frmSetClass.h"
#include "ui/pending/frmNeedSet.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr int ClientWidth = 10680;
constexpr int ClientHeight = 7485;

// Position and size of every control in twips; the class buttons are placed inside fmeClass.
constexpr Placement Layout[] = {
    {u"Label1", 405, 345, 1815, 315},         {u"txtKey", 405, 675, 3240, 390},
    {u"Label3", 405, 1275, 1545, 315},        {u"Grid1", 4590, 675, 5715, 6465},
    {u"lblExpert", 9360, 345, 945, 210},      {u"ListView2", 405, 1605, 3810, 4200},
    {u"cmdDelKey", 3660, 660, 555, 420},      {u"lblAddWords", 2115, 345, 1005, 210},
    {u"fmeClass", 360, 5835, 3885, 525},      {u"cmdUp", 60, 15, 720, 330},
    {u"cmdDown", 765, 15, 720, 330},          {u"cmdAdd", 1695, 15, 720, 330},
    {u"cmdEdit", 2400, 15, 720, 330},         {u"cmdDel", 3105, 15, 720, 330},
    {u"Label4", 390, 6405, 3855, 660},        {u"Label5", 4575, 345, 2100, 285},
    {u"lblClearWords", 3180, 345, 1275, 210}, {u"Label2", 390, 7035, 3825, 285},
};

// Class-list columns: title, quick key, and the child counter, which is kept but never seen.
constexpr int ListColumnWidths[] = {3000, 800, 0};
constexpr int GridColumnWidths[] = {50, 80, 210};

constexpr int KeyRole = Qt::UserRole;
constexpr int TagRole = Qt::UserRole + 1;

// The classic active-border grey behind the current keyword.
const QColor ActiveBorder(212, 208, 200);
const QColor CommandBlue(0, 0, 192);

} // namespace

frmKorvel::frmKorvel(Store& conn, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , Conn(conn)
{
    setObjectName(u"frmKorvel"_s);
    setWindowTitle(productTitle());
    setWindowIcon(productIcon());
    setFixedSize(twips(ClientWidth), twips(ClientHeight));
    // The classic dialog size: the instructions under the class list fit their three lines.
    QFont small = font();
    small.setPointSizeF(9);
    setFont(small);
    buildControls();
}

frmKorvel::~frmKorvel() = default;

void frmKorvel::buildControls()
{
    Label1 = named(new QLabel(u"需要设定的关键词："_s, this), u"Label1"_s);
    txtKey = named(new QLineEdit(this), u"txtKey"_s);
    // A keyword of any length shows whole; a line edit would cut it at 32,767 characters.
    txtKey->setMaxLength(std::numeric_limits<int>::max());
    txtKey->setFont(chineseFont(u"仿宋_GB2312"_s, 10.5, 700));
    QPalette keyPalette = txtKey->palette();
    keyPalette.setColor(QPalette::Base, ActiveBorder);
    txtKey->setPalette(keyPalette);
    Label3 = named(new QLabel(u"所属分类："_s, this), u"Label3"_s);

    Grid1 = named(new QTableView(this), u"Grid1"_s);
    m_gridModel = new KeywordGridModel(Conn, this);
    Grid1->setModel(m_gridModel);
    connect(m_gridModel, &KeywordGridModel::readFailed, this, &frmKorvel::showStoreError);
    // A reset gives every column the default width again; once loaded, the grid keeps its own widths.
    connect(m_gridModel, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_gridModel->isConfigured())
            return;
        for (int column = 0; column < KeywordGridModel::ColumnCount; ++column)
            Grid1->setColumnWidth(column, GridColumnWidths[column]);
    });
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->verticalHeader()->setDefaultSectionSize(20);
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    lblExpert = named(new CommandLabel(u"导出关键词"_s, this), u"lblExpert"_s);

    ListView2 = named(new QTreeWidget(this), u"ListView2"_s);
    ListView2->setColumnCount(3);
    ListView2->setHeaderLabels({u"类别"_s, u"快捷键"_s, u"最大下级编号"_s});
    ListView2->setRootIsDecorated(false);
    ListView2->setUniformRowHeights(true);
    ListView2->setAllColumnsShowFocus(true);
    ListView2->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView2->header()->setStretchLastSection(false);
    ListView2->header()->setMinimumSectionSize(0);
    for (int column = 0; column < 3; ++column)
        ListView2->setColumnWidth(column, twips(ListColumnWidths[column]));
    ListView2->setColumnHidden(2, true);
    ListView2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    cmdDelKey = named(new QPushButton(u"删除"_s, this), u"cmdDelKey"_s);
    lblAddWords = named(new CommandLabel(u"增加关键词"_s, this), u"lblAddWords"_s);

    fmeClass = named(new QFrame(this), u"fmeClass"_s);
    fmeClass->setFrameShape(QFrame::NoFrame);
    const auto classButton = [this](const QString& name, const QString& text, const QString& tip) {
        auto* button = named(new QPushButton(text, fmeClass), name);
        button->setToolTip(tip);
        return button;
    };
    cmdUp = classButton(u"cmdUp"_s, u"上级"_s, u"返回上级分类(ESC键)"_s);
    cmdDown = classButton(u"cmdDown"_s, u"下级"_s, u"进入下级分类(Enter键)"_s);
    cmdAdd = classButton(u"cmdAdd"_s, u"增加"_s, u"增加新分类"_s);
    cmdEdit = classButton(u"cmdEdit"_s, u"修改"_s, u"修改分类"_s);
    cmdDel = classButton(u"cmdDel"_s, u"删除"_s, u"删除分类"_s);

    // Three lines must fit in 44 pixels; CJK fonts' own line spacing would push the last one out of sight.
    Label4 = named(new QLabel(u"<div style=\"line-height:14px; -qt-line-height-type:fixed;\">%1</div>"_s.arg(
                                  u"在分类中左键选择分类，右键单击设定当前关键词到该分类中；"
                                  u"本类关键词列表中右击关键词把关键词从该类中删除，进行再次设定。"_s),
                              this),
                   u"Label4"_s);
    Label4->setTextFormat(Qt::RichText);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5 = named(new QLabel(u"本类关键词："_s, this), u"Label5"_s);
    lblClearWords = named(new CommandLabel(u"删除所有关键词"_s, this), u"lblClearWords"_s);
    Label2 = named(new QLabel(u"使用帮助与问题反馈：见 README.md"_s, this), u"Label2"_s);

    const auto colour = [](QLabel* label, const QColor& color) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
    };
    for (QLabel* label :
         {static_cast<QLabel*>(lblExpert), static_cast<QLabel*>(lblAddWords), static_cast<QLabel*>(lblClearWords)})
        colour(label, CommandBlue);
    colour(Label4, palette().color(QPalette::Highlight));
    colour(Label2, Qt::red);

    place(this, Layout);

    QWidget* const tabOrder[] = {txtKey, Grid1, ListView2, cmdDelKey, cmdUp, cmdDown, cmdAdd, cmdEdit, cmdDel};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    txtKey->setFocus();

    connect(cmdUp, &QPushButton::clicked, this, &frmKorvel::cmdUp_Click);
    connect(cmdDown, &QPushButton::clicked, this, &frmKorvel::cmdDown_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmKorvel::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmKorvel::cmdEdit_Click);
    connect(cmdDel, &QPushButton::clicked, this, &frmKorvel::cmdDel_Click);
    connect(cmdDelKey, &QPushButton::clicked, this, &frmKorvel::cmdDelKey_Click);
    connect(lblAddWords, &CommandLabel::clicked, this, &frmKorvel::lblAddWords_Click);
    connect(lblClearWords, &CommandLabel::clicked, this, &frmKorvel::lblClearWords_Click);
    connect(lblExpert, &CommandLabel::clicked, this, &frmKorvel::lblExpert_Click);
    connect(ListView2, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { ListView2_ItemClick(current); });

    // Key preview: the window sees every keystroke before the control that has the focus.
    installEventFilter(this);
    for (QWidget* control :
         std::initializer_list<QWidget*> {txtKey, Grid1, ListView2, ListView2->viewport(), Grid1->viewport(), cmdDelKey,
                                          cmdUp, cmdDown, cmdAdd, cmdEdit, cmdDel})
        control->installEventFilter(this);
}

bool frmKorvel::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        // The filter sits on the focusable controls and on the window. A key a control leaves alone travels up
        // to the window as well; there it is seen only when no control of the window has the focus.
        if (watched == this) {
            const QWidget* focus = QApplication::focusWidget();
            if (focus && focus != this && focus->window() == this)
                break;
        }
        auto* key = static_cast<QKeyEvent*>(event);
        Form_KeyDown(key->key());
        if (watched == ListView2)
            ListView2_KeyDown(key->key());
        if (!key->text().isEmpty() && Form_KeyPress(key->text()))
            return true;
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (watched == txtKey)
            txtKey_DblClick();
        else if (watched == ListView2->viewport() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            ListView2_DblClick();
        break;
    case QEvent::MouseButtonRelease:
        if (watched == ListView2->viewport())
            ListView2_MouseUp(static_cast<QMouseEvent*>(event)->button());
        break;
    case QEvent::MouseButtonPress:
        if (watched == Grid1->viewport()) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            Grid1_MouseDown(mouse->button(), mouse->position().toPoint());
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void frmKorvel::Form_Load()
{
    LoadClassList();
    LoadNextKeyword();
}

void frmKorvel::showStoreError(const QString& error)
{
    MessageBox::inform(this, error);
}

// ---- Class list ----

QTreeWidgetItem* frmKorvel::selectedItem() const
{
    const QList<QTreeWidgetItem*> items = ListView2->selectedItems();
    return items.isEmpty() ? nullptr : items.first();
}

bool frmKorvel::LoadClassList()
{
    const auto classes = Conn.classesUnder(ParentCode);
    if (!classes) {
        showStoreError(classes.error());
        return false;
    }

    QuickKeys = QStringList(classes->size() + 1);
    {
        // Filling the list is not the operator selecting a class.
        const QSignalBlocker blocker(ListView2);
        ListView2->clear();
        SelCode.clear();
        QList<QTreeWidgetItem*> items;
        items.reserve(classes->size());
        for (qsizetype i = 0; i < classes->size(); ++i) {
            const ClassRow& row = classes->at(i);
            QuickKeys[i] = row.qKey;
            auto* item = new QTreeWidgetItem({row.title, row.qKey, QString::number(row.maxnext)});
            item->setData(0, KeyRole, ClassCode::itemKey(row.code));
            item->setData(0, TagRole, row.qKey);
            items.append(item);
        }
        ListView2->addTopLevelItems(items);
        if (!items.isEmpty())
            ListView2->setCurrentItem(items.first());
    }

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

// ---- Filing ----

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
    const auto filed = Conn.fileKeyword(KeyId, KeyToCode(item->data(0, KeyRole).toString()), item->text(0));
    if (!filed) {
        showStoreError(filed.error());
        return;
    }
    switch (*filed) {
    case Store::Change::Done:
        break;
    case Store::Change::ClassGone:
        MessageBox::inform(this, u"分类“%1”已不在数据库中，关键词没有设置。"_s.arg(item->text(0)));
        return;
    case Store::Change::Gone:
        MessageBox::inform(this, u"当前关键词已不在数据库中，没有设置。"_s);
        break;
    case Store::Change::Moved:
        MessageBox::inform(this, u"当前关键词已被设置到分类中，没有再次设置。"_s);
        break;
    }
    LoadNextKeyword();
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
        LoadClassKeywords();
        return;
    }
    MessageBox::inform(this, *returned == Store::Change::Gone ? u"这个关键词已不在数据库中。"_s
                                                               : u"这个关键词已不在这个分类中。"_s);
    // Someone else changed the row: the grid is read again.
    if (const Status loaded = m_gridModel->load(m_gridModel->loadedCode()); !loaded)
        showStoreError(loaded.error());
}

void frmKorvel::lblExpert_Click()
{
    const QString workbook = u"Excel 工作簿 (*.xlsx)"_s;
    const QString csv = u"CSV 文件 UTF-8 (*.csv)"_s;
    QString filter = workbook;
    QString fileName
        = FileDialog::getSaveFileName(this, u"导出关键词"_s, u"关键词.xlsx"_s, workbook + u";;"_s + csv, &filter);
    if (fileName.isEmpty())
        return;
    // A suffix the operator typed wins; otherwise the chosen filter decides, and the dialog, which checked the
    // name as typed, has not asked about the file with the suffix added.
    const bool typedSuffix
        = fileName.endsWith(u".csv"_s, Qt::CaseInsensitive) || fileName.endsWith(u".xlsx"_s, Qt::CaseInsensitive);
    const Export::Format format
        = typedSuffix ? Export::formatOf(fileName) : (filter == csv ? Export::Format::Csv : Export::Format::Xlsx);
    if (!typedSuffix) {
        fileName += format == Export::Format::Csv ? u".csv"_s : u".xlsx"_s;
        if (QFileInfo::exists(fileName)
            && MessageBox::show(this, u"%1 已存在。\n要替换它吗？"_s.arg(QDir::toNativeSeparators(fileName)),
                                productTitle(), MessageBox::Icon::Exclamation, MessageBox::Buttons::YesNo,
                                MessageBox::Answer::No)
                != MessageBox::Answer::Yes)
            return;
    }
    // The grid's own subtree, read from the store as it is written; with no class loaded, only the header.
    const QString code = m_gridModel->loadedCode();
    StoreJob job(Conn, u"正在导出关键词…"_s, this);
    bool complete = true;
    const Status written = job.run([&](Store& store, const std::atomic<bool>& cancel, const StoreJob::Report& report) {
        const auto done = Export::writeSubtree(store, code, fileName, format, {report, &cancel});
        complete = done && *done;
        return Status::of(done);
    });
    if (!written)
        MessageBox::inform(this,
                           u"导出失败，文件未写入：%1\n%2"_s.arg(QDir::toNativeSeparators(fileName), written.error()));
    else if (!complete)
        MessageBox::inform(this, u"导出已取消，文件未写入：%1"_s.arg(QDir::toNativeSeparators(fileName)));
}

// ---- Class commands ----

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

// ---- Keyword intake and deletion ----

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
        MessageBox::inform(this, *deleted == Store::Change::Gone ? u"当前关键词已不在数据库中。"_s
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
