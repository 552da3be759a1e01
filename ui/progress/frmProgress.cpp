#include "frmProgress.h"

#include "BarChart.h"
#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"lblTotals", 180, 150, 6390, 300}, {u"lblShare", 180, 480, 6390, 300},    {u"lblRate", 180, 810, 6390, 540},
    {u"Label1", 180, 1440, 4290, 300},   {u"chkVolume", 4560, 1410, 2010, 330}, {u"scrClasses", 180, 1800, 6390, 3450},
};

QString percent(qint64 part, qint64 whole)
{
    return QString::number(whole > 0 ? 100.0 * double(part) / double(whole) : 0.0, 'f', 1) + u'%';
}

QString duration(double minutes)
{
    const qint64 whole = qint64(std::ceil(minutes));
    return whole >= 60 ? u"%1 小时 %2 分钟"_s.arg(whole / 60).arg(whole % 60) : u"%1 分钟"_s.arg(whole);
}

} // namespace

frmProgress::frmProgress(Store& conn, QWidget* parent)
    : FixedDialog(u"进度"_s, 6750, 5430, parent)
    , Conn(conn)
{
    setObjectName(u"frmProgress"_s);
    lblTotals = named(new QLabel(this), u"lblTotals"_s);
    lblShare = named(new QLabel(this), u"lblShare"_s);
    chkVolume = named(new QCheckBox(u"按搜索量"_s, this), u"chkVolume"_s);
    connect(chkVolume, &QCheckBox::toggled, this, &frmProgress::showBars);
    lblRate = named(new QLabel(this), u"lblRate"_s);
    lblRate->setWordWrap(true);
    Label1 = named(new QLabel(u"本级各分类（含下级）的关键词："_s, this), u"Label1"_s);
    auto* scroll = named(new QScrollArea(this), u"scrClasses"_s);
    chtClasses = named(new BarChart, u"chtClasses"_s);
    scroll->setWidget(chtClasses);
    scroll->setWidgetResizable(true);
    place(this, Layout);
}

bool frmProgress::Form_Load(const QList<ClassRow>& level, qint64 sessionFilings, double sessionMinutes)
{
    const auto totals = Conn.keywordTotals();
    if (!totals) {
        MessageBox::inform(parentWidget(), totals.error());
        return false;
    }
    const auto volumeTotals = Conn.volumeTotals();
    const auto volumes = Conn.classVolumes();
    if (!volumeTotals || !volumes) {
        MessageBox::inform(parentWidget(), !volumeTotals ? volumeTotals.error() : volumes.error());
        return false;
    }
    const QHash<QString, qint64> subtreeVolumes = Store::subtreeVolumes(*volumes);
    m_counts.clear();
    m_volumes.clear();
    for (const ClassRow& c : level) {
        const auto count = Conn.subtreeCount(c.code);
        if (!count) {
            MessageBox::inform(parentWidget(), count.error());
            return false;
        }
        m_counts.append({c.title, *count});
        m_volumes.append({c.title, subtreeVolumes.value(c.code)});
    }
    // Searches are shown only where keywords came with them.
    const bool numbers = volumeTotals->total > 0;
    chkVolume->setEnabled(numbers);
    if (!numbers)
        chkVolume->setChecked(false);
    showBars();
    lblShare->setText(numbers ? u"按关键词已完成 %1，按月均搜索量已完成 %2（共 %3 次）。"_s.arg(
                          percent(totals->total - totals->unsorted, totals->total),
                          percent(volumeTotals->filed, volumeTotals->total), QString::number(volumeTotals->total))
                              : u"按关键词已完成 %1。"_s.arg(percent(totals->total - totals->unsorted, totals->total)));
    lblTotals->setText(u"已设置 %1 个，未设置 %2 个，共 %3 个。"_s.arg(totals->total - totals->unsorted)
                           .arg(totals->unsorted)
                           .arg(totals->total));
    // The rate counts from the first filing of this window on; under a minute it says little yet.
    if (sessionFilings == 0) {
        lblRate->setText(u"本次还没有设置关键词。"_s);
    } else {
        const double perMinute = double(sessionFilings) / std::max(sessionMinutes, 1.0);
        lblRate->setText(u"本次已设置 %1 个，每分钟 %2 个；照此速度，其余的还需约 %3。"_s.arg(sessionFilings)
                             .arg(perMinute, 0, 'f', 1)
                             .arg(duration(double(totals->unsorted) / perMinute)));
    }
    return true;
}

void frmProgress::showBars()
{
    const bool byVolume = chkVolume->isChecked();
    Label1->setText(byVolume ? u"本级各分类（含下级）的月均搜索量："_s : u"本级各分类（含下级）的关键词："_s);
    chtClasses->setBars(byVolume ? m_volumes : m_counts);
}

void frmProgress::keyPressEvent(QKeyEvent* event)
{
    // A window only to read: Esc closes it.
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        FixedDialog::keyPressEvent(event);
}
