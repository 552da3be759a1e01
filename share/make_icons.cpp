// Draws the product's icon at the sizes of the hicolor icon theme, for installing: make_icons FOLDER NAME
// writes FOLDER/SIZExSIZE/apps/NAME.png for each size.
#include "ui/Product.h"

#include <QDir>
#include <QGuiApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QDir root(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!root.mkpath(folder)
            || !productPixmap(size).save(root.filePath(folder + u'/' + QString::fromLocal8Bit(argv[2]) + u".png")))
            return 1;
    }
    return 0;
}
