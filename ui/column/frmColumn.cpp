#include "frmColumn.h"

#include "ui/Layout.h"
#include "ui/Modal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"Label1", 180, 150, 5700, 540},         {u"cboColumn", 180, 750, 5700, 345},
    {u"chkHeader", 180, 1230, 5700, 300},     {u"OKButton", 3360, 1740, 1215, 375},
    {u"CancelButton", 4665, 1740, 1215, 375},
};

} // namespace

frmColumn::frmColumn(QWidget* parent)
    : FixedDialog(u"选择列"_s, 6060, 2310, parent)
{
    setObjectName(u"frmColumn"_s);
    Label1 = named(new QLabel(this), u"Label1"_s);
    Label1->setWordWrap(true);
    cboColumn = named(new QComboBox(this), u"cboColumn"_s);
    chkHeader = named(new QCheckBox(u"第一行是列名，不增加"_s, this), u"chkHeader"_s);
    chkHeader->setChecked(true);
    OKButton = named(new QPushButton(u"确定"_s, this), u"OKButton"_s);
    CancelButton = named(new QPushButton(u"取消"_s, this), u"CancelButton"_s);
    place(this, Layout);
    plainButton(OKButton);
    plainButton(CancelButton);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmColumn::Choose(const QString& fileName, const QStringList& firstRow, qsizetype titleRows)
{
    QString text
        = u"%1 有 %2 列。关键词在哪一列？"_s.arg(QFileInfo(fileName).fileName(), QString::number(firstRow.size()));
    if (titleRows > 0)
        text += u"（表格上方的 %1 行标题不增加。）"_s.arg(titleRows);
    Label1->setText(text);
    for (qsizetype i = 0; i < firstRow.size(); ++i)
        cboColumn->addItem(u"第 %1 列：%2"_s.arg(QString::number(i + 1), firstRow.at(i).left(40)));
    // A row of several fields that names them is the common case; a file of one column is more often keywords from
    // its first line on.
    chkHeader->setChecked(firstRow.size() > 1);
    return Modal::exec(*this) == QDialog::Accepted;
}

int frmColumn::column() const
{
    return cboColumn->currentIndex();
}

bool frmColumn::skipFirstRow() const
{
    return chkHeader->isChecked();
}
