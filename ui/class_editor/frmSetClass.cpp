#include "frmSetClass.h"

#include "store/ClassCode.h"
#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

using namespace Qt::StringLiterals;

namespace {

constexpr int AddMode = 1;
constexpr int EditMode = 2;

constexpr Placement Layout[] = {
    {u"Label1", 270, 240, 645, 270},  {u"txtTitle", 1200, 165, 2520, 315}, {u"Label2", 255, 645, 855, 270},
    {u"txtKey", 1185, 585, 675, 315}, {u"OKButton", 720, 1170, 1215, 375}, {u"CancelButton", 2010, 1170, 1215, 375},
};

} // namespace

frmSetClass::frmSetClass(Store& conn, QWidget* parent)
    : FixedDialog(u"类别管理"_s, 3945, 1725, parent)
    , Conn(conn)
{
    setObjectName(u"frmSetClass"_s);
    OKButton = named(new QPushButton(u"确定"_s, this), u"OKButton"_s);
    CancelButton = named(new QPushButton(u"取消"_s, this), u"CancelButton"_s);
    Label1 = named(new QLabel(u"类别："_s, this), u"Label1"_s);
    txtTitle = named(new QLineEdit(this), u"txtTitle"_s);
    Label2 = named(new QLabel(u"快捷键："_s, this), u"Label2"_s);
    txtKey = named(new QLineEdit(this), u"txtKey"_s);
    // Neither box limits its text; a line edit would cut it at 32,767 characters.
    txtTitle->setMaxLength(std::numeric_limits<int>::max());
    txtKey->setMaxLength(std::numeric_limits<int>::max());
    place(this, Layout);
    plainButton(OKButton);
    plainButton(CancelButton);
    setTabOrder(OKButton, CancelButton);
    setTabOrder(CancelButton, txtTitle);
    setTabOrder(txtTitle, txtKey);
    OKButton->setFocus();

    connect(OKButton, &QPushButton::clicked, this, &frmSetClass::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &frmSetClass::CancelButton_Click);
}

std::optional<ClassRow> frmSetClass::readClass(const QString& missing)
{
    const auto row = Conn.classByCode(ClassCode);
    if (!row) {
        MessageBox::inform(parentWidget(), row.error());
        return std::nullopt;
    }
    if (!row->has_value())
        MessageBox::inform(parentWidget(), missing);
    return *row;
}

bool frmSetClass::Add(const QString& parentCode, const QString& title)
{
    ClassCode = parentCode;
    DialogMode = AddMode;
    const auto parent = readClass(ClassCode.isEmpty() ? u"数据库中没有根行（code 为空文本的行），不能增加顶层分类。"_s
                                                      : u"上级分类（编码 %1）已不在数据库中。"_s.arg(ClassCode));
    if (!parent)
        return false;
    MaxNext = parent->maxnext;
    ClassPath = parent->path;
    if (MaxNext >= ClassCode::MaxChildNumber) {
        MessageBox::inform(parentWidget(),
                           u"该分类的 %1 个下级编号已经用完，不能再增加下级分类。"_s.arg(ClassCode::MaxChildNumber));
        return false;
    }
    txtTitle->setText(title);
    Modal::exec(*this);
    return Confirmed;
}

bool frmSetClass::Edit(const QString& code)
{
    ClassCode = code;
    DialogMode = EditMode;
    const auto row = readClass(u"该分类（编码 %1）已不在数据库中。"_s.arg(ClassCode));
    if (!row)
        return false;
    txtTitle->setText(row->title);
    txtKey->setText(row->qKey);
    Modal::exec(*this);
    return Confirmed;
}

void frmSetClass::OKButton_Click()
{
    if (DialogMode == AddMode) {
        const auto added = Conn.addClass(ClassCode, txtTitle->text(), txtKey->text());
        if (!added) {
            // The dialog stays open with what was typed.
            MessageBox::inform(this, added.error());
            return;
        }
        MaxNext += 1;
        ClassPath = ClassPath + u" > "_s + txtTitle->text();
    } else {
        const auto edited = Conn.editClass(ClassCode, txtTitle->text(), txtKey->text());
        if (!edited) {
            MessageBox::inform(this, edited.error());
            return;
        }
        if (!*edited) {
            MessageBox::inform(this, u"该分类（编码 %1）已不在数据库中。"_s.arg(ClassCode));
            reject();
            return;
        }
    }
    Confirmed = true;
    accept();
}

void frmSetClass::CancelButton_Click()
{
    Confirmed = false;
    reject();
}
