#include "Product.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

using namespace Qt::StringLiterals;

QString productTitle()
{
    return u"关键词分类"_s;
}

QPixmap productPixmap(int size)
{
    // Drawn rather than shipped: a picture on a 32 x 32 grid in a handful of flat colours, a tree of three filed
    // rows. The installed icons are drawn by the same code at their sizes.
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(1, 1, 30, 30);
    p.setBrush(Qt::white);
    p.drawRect(5, 6, 22, 4);
    p.setBrush(Qt::yellow);
    p.drawRect(9, 14, 18, 4);
    p.setBrush(Qt::green);
    p.drawRect(9, 22, 18, 4);
    p.setBrush(Qt::white);
    p.drawRect(5, 10, 2, 14);
    return pixmap;
}

QIcon productIcon()
{
    return QIcon(productPixmap(32));
}

QFont chineseFont(const QString& family, qreal pointSize, int weight)
{
    QFont font;
    QStringList families {family};
    const QStringList available = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    for (const QString& fallback :
         {u"FangSong"_s, u"Noto Serif CJK SC"_s, u"Noto Sans CJK SC"_s, u"WenQuanYi Zen Hei"_s, u"AR PL UMing CN"_s}) {
        if (available.contains(fallback))
            families << fallback;
    }
    font.setFamilies(families);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Weight(weight));
    return font;
}

bool installQtTranslations()
{
    static QTranslator translator;
    if (!translator.load(u"qtbase_zh_CN"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}
