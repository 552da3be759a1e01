#include "frmProgress.h"

#include "BarChart.h"
#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScrollArea>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"lblTotals", 180, 150, 6390, 300},
    {u"lblRate", 180, 510, 6390, 540},
    {u"Label1", 180, 1170, 6390, 300},
    {u"scrClasses", 180, 1500, 6390, 3750},
};

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
    QList<std::pair<QString, qint64>> bars;
    for (const ClassRow& c : level) {
        const auto count = Conn.subtreeCount(c.code);
        if (!count) {
            MessageBox::inform(parentWidget(), count.error());
            return false;
        }
        bars.append({c.title, *count});
    }
    chtClasses->setBars(bars);
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

void frmProgress::keyPressEvent(QKeyEvent* event)
{
    // A window only to read: Esc closes it.
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        FixedDialog::keyPressEvent(event);
}
