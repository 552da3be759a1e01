#include "frmBulkAccept.h"

#include "session/BulkAcceptance.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

// Lists this short open with every class expanded.
constexpr qint64 ExpandedUpTo = 5000;

constexpr Placement Layout[] = {
    {u"lblLevel", 120, 150, 7260, 300},      {u"lblThreshold", 120, 570, 1500, 300},
    {u"spnThreshold", 1620, 520, 1100, 360}, {u"lstSuggestions", 120, 1000, 7260, 4200},
    {u"prgScore", 120, 5310, 7260, 270},     {u"lblStatus", 120, 5640, 7260, 600},
    {u"cmdStop", 120, 6360, 1400, 420},      {u"cmdFile", 3780, 6360, 2100, 420},
    {u"cmdClose", 5980, 6360, 1400, 420},
};

// Why nothing can be scored, for the states that say so.
QString whyNothing(const BulkAcceptance& bulk)
{
    switch (bulk.state()) {
    case BulkAcceptance::State::Learning:
        return u"建议还没有准备好：正在学习已设置的关键词，请稍后再试。"_s;
    case BulkAcceptance::State::NothingFiled:
        return u"还没有已设置的关键词，无法给出建议。请先设置一些关键词。"_s;
    case BulkAcceptance::State::NoClasses:
        return u"当前层级没有分类。"_s;
    case BulkAcceptance::State::NothingFiledHere:
        return u"当前层级的分类下还没有已设置的关键词，无法给出建议。"_s;
    default:
        return {};
    }
}

} // namespace

frmBulkAccept::frmBulkAccept(SortingSession& session, Store& conn, QWidget* parent)
    : FixedDialog(u"批量接受建议"_s, 7500, 6900, parent)
    , m_bulk(new BulkAcceptance(session, conn, this))
{
    setObjectName(u"frmBulkAccept"_s);
    lblLevel = named(new QLabel(this), u"lblLevel"_s);
    lblThreshold = named(new QLabel(u"置信度不低于："_s, this), u"lblThreshold"_s);
    spnThreshold = named(new QDoubleSpinBox(this), u"spnThreshold"_s);
    spnThreshold->setRange(BulkAcceptance::LeastThreshold, 1.0);
    spnThreshold->setDecimals(2);
    spnThreshold->setSingleStep(0.01);
    spnThreshold->setValue(BulkAcceptance::DefaultThreshold);
    lstSuggestions = named(new QTreeView(this), u"lstSuggestions"_s);
    lstSuggestions->setModel(m_bulk);
    lstSuggestions->setUniformRowHeights(true);
    lstSuggestions->setAllColumnsShowFocus(true);
    lstSuggestions->header()->setStretchLastSection(false);
    lstSuggestions->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstSuggestions->setColumnWidth(1, twips(1000));
    prgScore = named(new QProgressBar(this), u"prgScore"_s);
    prgScore->setRange(0, 1000);
    prgScore->setTextVisible(false);
    lblStatus = named(new QLabel(this), u"lblStatus"_s);
    lblStatus->setWordWrap(true);
    lblStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    cmdStop = named(new QPushButton(u"停止"_s, this), u"cmdStop"_s);
    cmdFile = named(new QPushButton(u"全部设置 (Ctrl+Enter)"_s, this), u"cmdFile"_s);
    cmdClose = named(new QPushButton(u"关闭"_s, this), u"cmdClose"_s);
    for (QPushButton* button : {cmdStop, cmdFile, cmdClose})
        plainButton(button);
    place(this, Layout);

    connect(m_bulk, &BulkAcceptance::changed, this, &frmBulkAccept::draw);
    // A list read anew starts at its first row, so that Delete has a row to leave out.
    connect(m_bulk, &QAbstractItemModel::modelReset, this, [this] {
        if (m_bulk->listed() <= ExpandedUpTo)
            lstSuggestions->expandAll();
        lstSuggestions->setCurrentIndex(m_bulk->index(0, 0));
    });
    connect(m_bulk, &BulkAcceptance::progressed, this, &frmBulkAccept::drawProgress);
    connect(spnThreshold, &QDoubleSpinBox::valueChanged, m_bulk, &BulkAcceptance::setThreshold);
    connect(cmdStop, &QPushButton::clicked, m_bulk, &BulkAcceptance::stop);
    connect(cmdFile, &QPushButton::clicked, this, &frmBulkAccept::cmdFile_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    m_bulk->start();
    lstSuggestions->setFocus();
}

frmBulkAccept::~frmBulkAccept() = default;

void frmBulkAccept::run(SortingSession& session, Store& conn, QWidget* parent)
{
    frmBulkAccept window(session, conn, parent);
    if (const QString why = whyNothing(*window.m_bulk); !why.isEmpty())
        return MessageBox::inform(parent, why);
    Modal::exec(window);
}

void frmBulkAccept::draw()
{
    const BulkAcceptance& b = *m_bulk;
    const bool scoring = b.state() == BulkAcceptance::State::Scoring;
    lblLevel->setText(u"当前层级："_s + (b.levelPath().isEmpty() ? u"顶层"_s : b.levelPath()));
    cmdStop->setEnabled(scoring);
    cmdFile->setEnabled(!scoring && b.listed() > 0);
    if (scoring)
        return drawProgress();
    QString text = u"%1 个关键词，%2 个分类。"_s.arg(b.listed()).arg(b.classesListed());
    if (b.state() == BulkAcceptance::State::Stopped)
        text = u"已停止：只评估了 %1 / %2 个未分类关键词。"_s.arg(b.scored()).arg(b.total()) + text;
    else if (b.state() == BulkAcceptance::State::Failed)
        text = b.error();
    if (b.deeper() > 0)
        text += u"另有 %1 个更可能属于有下级的分类，请进入该分类后再批量设置。"_s.arg(b.deeper());
    lblStatus->setText(text);
    prgScore->setValue(prgScore->maximum());
}

void frmBulkAccept::drawProgress()
{
    const BulkAcceptance& b = *m_bulk;
    lblStatus->setText(u"正在评估未分类关键词：%1 / %2 …"_s.arg(b.scored()).arg(b.total()));
    prgScore->setValue(b.total() > 0 ? int(b.scored() * prgScore->maximum() / b.total()) : 0);
}

void frmBulkAccept::cmdFile_Click()
{
    if (m_bulk->state() == BulkAcceptance::State::Scoring || m_bulk->listed() == 0)
        return;
    const std::optional<BulkFiling> filed = m_bulk->fileAll();
    if (filed)
        MessageBox::inform(this, BulkAcceptance::report(*filed));
    accept();
}

void frmBulkAccept::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & Qt::ControlModifier))
        return cmdFile_Click();
    if (event->key() == Qt::Key_Delete)
        return m_bulk->drop(lstSuggestions->currentIndex());
    if (event->key() == Qt::Key_Escape)
        return reject();
    FixedDialog::keyPressEvent(event);
}

void frmBulkAccept::closeEvent(QCloseEvent* event)
{
    // Scoring that is no longer looked at stops.
    m_bulk->stop();
    FixedDialog::closeEvent(event);
}
