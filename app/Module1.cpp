#include "Module1.h"

#include "store/Store.h"
#include "ui/MessageBox.h"
#include "ui/Product.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QDir>
#include <QScopeGuard>
#include <QScreen>

using namespace Qt::StringLiterals;

QString defaultStorePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(u"Data.db"_s);
}

namespace {
// Lives in Main, so that it closes while the application object still exists.
Store* s_conn = nullptr;
} // namespace

Store& Conn()
{
    Q_ASSERT(s_conn);
    return *s_conn;
}

bool OpenDatabase(const QString& path)
{
    const Status opened = Conn().open(path);
    if (opened)
        return true;
    MessageBox::show(nullptr, opened.error() + u"\n数据库文件："_s + QDir::toNativeSeparators(path), productTitle(),
                     MessageBox::Icon::None, MessageBox::Buttons::Ok, MessageBox::Answer::Ok);
    return false;
}

int Main(const QString& path)
{
    Store store;
    s_conn = &store;
    const auto release = qScopeGuard([] { s_conn = nullptr; });
    if (!OpenDatabase(path))
        return 1;
    frmKorvel window(Conn());
    window.Form_Load();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
    window.show();
    return QApplication::exec();
}
