#include "frmKorvel.h"

#include "ClassList.h"
#include "KeywordGrid.h"
#include "MainLayout.h"
#include "session/KeywordGridModel.h"
#include "session/SortingSession.h"
#include "store/ClassCode.h"
#include "store/Store.h"
#include "ui/CommandLabel.h"
#include "ui/KeyPreview.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Product.h"
#include "ui/add_words/frmAddWords.h"
#include "ui/bulk_accept/frmBulkAccept.h"
#include "ui/class_editor/frmSetClass.h"
#include "ui/export/ExportFlow.h"
#include "ui/find/frmFind.h"
#include "ui/keys/frmKeys.h"
#include "ui/pending/frmNeedSet.h"
#include "ui/progress/frmProgress.h"
#include "ui/rule/frmRule.h"
#include "ui/terms/frmTerms.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <limits>

using namespace Qt::StringLiterals;
using namespace MainLayout;

frmKorvel::frmKorvel(Store& conn, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint)
    , Conn(conn)
    , m_session(new SortingSession(conn, this))
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
    SortingSession* s = m_session;
    connect(s, &SortingSession::message, this, [this](const QString& text) { MessageBox::inform(this, text); });
    connect(s, &SortingSession::classesChanged, this, [this] {
        ListView2->draw(m_session->classes(), m_session->selected());
        ListView2->drawSuggestion(m_session->suggested());
    });
    connect(s, &SortingSession::selectionChanged, this, [this] { ListView2->drawSelection(m_session->selected()); });
    connect(s, &SortingSession::suggestionChanged, this, [this] { ListView2->drawSuggestion(m_session->suggested()); });
    connect(s, &SortingSession::navigationChanged, this, &frmKorvel::UpdateNavButtons);
    connect(s, &SortingSession::keywordChanged, this, [this] { txtKey->setText(m_session->keyword()); });
    connect(s, &SortingSession::gridRowFound, Grid1, &KeywordGrid::showRow);
}

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

    Grid1 = named(new KeywordGrid(m_session->gridModel(), this), u"Grid1"_s);
    lblExpert = named(new CommandLabel(u"导出关键词"_s, this), u"lblExpert"_s);
    ListView2 = named(new ClassList(this), u"ListView2"_s);
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
    Label4 = named(new QLabel(u"<div style=\"line-height:14px; -qt-line-height-type:fixed;\">"
                              u"在分类中左键选择分类，右键单击设定当前关键词到该分类中；"
                              u"本类关键词列表中右击关键词把关键词从该类中删除，进行再次设定。</div>"_s,
                              this),
                   u"Label4"_s);
    Label4->setTextFormat(Qt::RichText);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5 = named(new QLabel(u"本类关键词："_s, this), u"Label5"_s);
    lblClearWords = named(new CommandLabel(u"删除所有关键词"_s, this), u"lblClearWords"_s);
    Label2 = named(new QLabel(u"使用帮助与问题反馈：见 README.md"_s, this), u"Label2"_s);
    setTextColour(Label4, palette().color(QPalette::Highlight));
    setTextColour(Label2, Qt::red);
    place(this, Controls);

    QWidget* const tabOrder[] = {txtKey, Grid1, ListView2, cmdDelKey, cmdUp, cmdDown, cmdAdd, cmdEdit, cmdDel};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    txtKey->setFocus();

    connect(cmdUp, &QPushButton::clicked, m_session, &SortingSession::GoUp);
    connect(cmdDown, &QPushButton::clicked, m_session, &SortingSession::GoDown);
    connect(cmdAdd, &QPushButton::clicked, this, &frmKorvel::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmKorvel::cmdEdit_Click);
    connect(cmdDel, &QPushButton::clicked, m_session, &SortingSession::DeleteClass);
    connect(cmdDelKey, &QPushButton::clicked, m_session, &SortingSession::DeleteKeyword);
    connect(lblAddWords, &CommandLabel::clicked, this, &frmKorvel::lblAddWords_Click);
    connect(lblClearWords, &CommandLabel::clicked, this, &frmKorvel::lblClearWords_Click);
    connect(lblExpert, &CommandLabel::clicked, this, &frmKorvel::lblExpert_Click);
    connect(ListView2, &QTreeWidget::currentItemChanged, this, &frmKorvel::ListView2_ItemClick);
    new KeyPreview(this, {txtKey, Grid1, ListView2, cmdDelKey, cmdUp, cmdDown, cmdAdd, cmdEdit, cmdDel},
                   [this](QObject* control, const QKeyEvent& key) { return Form_KeyPreview(control, key); });
    for (QWidget* area : {ListView2->viewport(), Grid1->viewport(), static_cast<QWidget*>(txtKey)})
        area->installEventFilter(this);
}

void frmKorvel::Form_Load()
{
    m_session->Form_Load();
}

bool frmKorvel::Form_KeyPreview(QObject* control, const QKeyEvent& key)
{
    // The program's own keys never reach the quick keys, nor the control that has the focus.
    if (CommandKey(key))
        return true;
    Form_KeyDown(key.key());
    if (control == ListView2)
        ListView2_KeyDown(key.key());
    return !key.text().isEmpty() && Form_KeyPress(key.text());
}

bool frmKorvel::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonDblClick && type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonPress)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (type == QEvent::MouseButtonDblClick && watched == txtKey) {
        txtKey_DblClick();
    } else if (type == QEvent::MouseButtonDblClick && watched == ListView2->viewport()
               && mouse->button() == Qt::LeftButton) {
        m_session->GoDown();
        // The list is another level now: taken further, the click would select a class of it.
        return true;
    } else if (type == QEvent::MouseButtonRelease && watched == ListView2->viewport()) {
        ListView2_MouseUp(mouse->button());
    } else if (type == QEvent::MouseButtonPress && watched == Grid1->viewport()) {
        Grid1_MouseDown(mouse->button(), mouse->position().toPoint());
    }
    return false;
}

bool frmKorvel::CommandKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const QKeyCombination combination(modifiers, Qt::Key(key.key()));
    const std::pair<QKeyCombination, std::function<void()>> commands[] = {
        {Qt::CTRL | Qt::Key_Z, [this] { m_session->Undo(); }},
        {Qt::CTRL | Qt::Key_Y, [this] { m_session->Redo(); }},
        {Qt::CTRL | Qt::Key_F,
         [this] {
             frmFind find(Conn, this);
             if (const std::optional<FoundKeyword> chosen = find.Choose())
                 m_session->ShowFound(chosen->row);
         }},
        {Qt::CTRL | Qt::Key_N, [this] { lblAddWords_Click(); }},
        {Qt::CTRL | Qt::Key_E, [this] { lblExpert_Click(); }},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Delete, [this] { lblClearWords_Click(); }},
        {QKeyCombination(Qt::Key_F1),
         [this] {
             frmKeys keys(this);
             Modal::exec(keys);
         }},
        {QKeyCombination(Qt::Key_F2), [this] { m_session->AcceptSuggestion(); }},
        {QKeyCombination(Qt::Key_F3), [this] { frmRule(Conn, *m_session, this).Init(); }},
        {QKeyCombination(Qt::Key_F4), [this] { frmTerms(Conn, *m_session, this).Init(); }},
        {QKeyCombination(Qt::Key_F6), [this] { frmBulkAccept::run(*m_session, Conn, this); }},
        {QKeyCombination(Qt::Key_F5),
         [this] {
             frmProgress progress(Conn, this);
             if (progress.Form_Load(m_session->classes(), m_session->filings(), m_session->minutes()))
                 Modal::exec(progress);
         }},
    };
    for (const auto& [keys, command] : commands) {
        if (keys == combination) {
            command();
            return true;
        }
    }
    return false;
}

void frmKorvel::Form_KeyDown(int key)
{
    if (key == Qt::Key_Escape)
        m_session->GoUp();
}

bool frmKorvel::Form_KeyPress(const QString& character)
{
    return m_session->KeyPress(character);
}

void frmKorvel::ListView2_KeyDown(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        m_session->GoDown();
}

void frmKorvel::ListView2_ItemClick(QTreeWidgetItem* item)
{
    if (item)
        m_session->ItemClick(KeyToCode(ClassList::keyOf(item)));
}

void frmKorvel::ListView2_MouseUp(Qt::MouseButton button)
{
    if (button != Qt::RightButton)
        return;
    m_session->AssignKeyword();
    m_session->LoadClassKeywords();
}

void frmKorvel::Grid1_MouseDown(Qt::MouseButton button, const QPoint& position)
{
    const QModelIndex index = Grid1->indexAt(position);
    if (button != Qt::RightButton || !index.isValid() || !m_session->gridModel()->isDataRow(index.row()))
        return;
    Grid1->setCurrentIndex(index);
    m_session->TakeBack(index.row());
}

void frmKorvel::cmdAdd_Click()
{
    frmSetClass dialog(Conn, this);
    if (dialog.Add(m_session->parentCode()))
        m_session->LoadClassList();
}

void frmKorvel::cmdEdit_Click()
{
    const QString key = ListView2->selectedKey();
    frmSetClass dialog(Conn, this);
    if (!key.isEmpty() && dialog.Edit(KeyToCode(key)))
        m_session->LoadClassList();
}

void frmKorvel::lblAddWords_Click()
{
    frmAddWords dialog(Conn, this, m_session);
    if (dialog.Init())
        m_session->LoadNextKeyword();
}

void frmKorvel::lblClearWords_Click()
{
    if (MessageBox::show(this, u"确认删除所有关键词吗？ 数据将不可恢复！"_s, u"注意"_s, MessageBox::Icon::Exclamation,
                         MessageBox::Buttons::YesNo, MessageBox::Answer::Yes)
        == MessageBox::Answer::Yes)
        m_session->DeleteAllKeywords();
}

void frmKorvel::lblExpert_Click()
{
    ExportFlow::run(this, Conn, m_session->gridModel()->loadedCode());
}

void frmKorvel::txtKey_DblClick()
{
    frmNeedSet view(this);
    if (view.Form_Load(Conn))
        Modal::exec(view);
}

void frmKorvel::UpdateNavButtons()
{
    cmdUp->setEnabled(!m_session->parentCode().isEmpty());
    cmdDown->setEnabled(!ListView2->selectedKey().isEmpty());
}
