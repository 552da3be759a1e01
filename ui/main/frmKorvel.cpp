#include "frmKorvel.h"

#include "KeywordGridModel.h"
#include "store/Store.h"
#include "store/suggest/Suggester.h"
#include "ui/CommandLabel.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Product.h"

#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QTimer>
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

frmKorvel::~frmKorvel()
{
    if (m_learning)
        m_learning->wait();
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

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    connect(m_refresh, &QTimer::timeout, this, &frmKorvel::refreshFromStore);
    connect(&Conn, &Store::changedElsewhere, this, &frmKorvel::changedElsewhere);
    // Every filing made here counts: for Ctrl+Z, for the suggestions and for the rate of the progress window.
    connect(&Conn, &Store::keywordFiled, this, [this](const KeywordRow& row) {
        m_history.filed(row, m_redoing);
        m_suggester ? m_suggester->learn(row.classcode, row.keywords) : m_toLearn.append({row, true});
        if (!m_sessionClock.isValid())
            m_sessionClock.start();
        ++m_sessionFilings;
    });
    connect(&Conn, &Store::keywordUnfiled, this, [this](const KeywordRow& row) {
        m_suggester ? m_suggester->forget(row.classcode, row.keywords) : m_toLearn.append({row, false});
    });

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
        // The program's own keys never reach the quick keys, nor the control that has the focus.
        if (CommandKey(*key))
            return true;
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
    learnInBackground();
}

void frmKorvel::showStoreError(const QString& error)
{
    MessageBox::inform(this, error);
}
