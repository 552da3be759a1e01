#include "frmNeedSet.h"

#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"

#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace {
constexpr Placement Layout[] = {{u"txtKeys", 135, 135, 3390, 4155}};
constexpr int Shown = 100;
} // namespace

frmNeedSet::frmNeedSet(QWidget* parent)
    : FixedDialog(u"最近需要设定的关键词"_s, 3660, 4455, parent)
{
    setObjectName(u"frmNeedSet"_s);
    txtKeys = named(new QPlainTextEdit(this), u"txtKeys"_s);
    txtKeys->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtKeys->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtKeys->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place(this, Layout);
}

bool frmNeedSet::Form_Load(Store& conn)
{
    const auto keywords = conn.pendingKeywords(Shown);
    if (!keywords) {
        MessageBox::inform(parentWidget(), keywords.error());
        return false;
    }
    QString text;
    for (const QString& keyword : *keywords)
        text += keyword + u'\n';
    txtKeys->setPlainText(text);
    return true;
}
