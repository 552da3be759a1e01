#include "Module1.h"

#include "store/Store.h"
#include "store/postgres/Location.h"
#include "ui/MessageBox.h"
#include "ui/Product.h"
#include "ui/main/frmKorvel.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QScopeGuard>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>

using namespace Qt::StringLiterals;

QString defaultStorePath()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    // An installed copy cannot write beside itself: its store lives with the user's data instead.
    if (QFileInfo(programFolder).isWritable())
        return QDir(programFolder).filePath(u"Data.db"_s);
    return userStorePath();
}

QString userStorePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(u"korvel/Data.db"_s);
}

namespace {

// The first start of an installed copy: no store yet where it keeps one. The operator is asked whether to make
// an empty one; true when it is there now.
bool offerNewStore(const QString& path)
{
    const QString question
        = u"还没有关键词数据库。\n要在 %1 建立一个空的数据库吗？"_s.arg(QDir::toNativeSeparators(path));
    if (MessageBox::show(nullptr, question, productTitle(), MessageBox::Icon::None, MessageBox::Buttons::YesNo,
                         MessageBox::Answer::Yes)
        != MessageBox::Answer::Yes)
        return false;
    Status made = QDir().mkpath(QFileInfo(path).absolutePath())
        ? createStore(path)
        : Status::failure(u"无法建立文件夹 %1。"_s.arg(QFileInfo(path).absolutePath()));
    if (!made)
        MessageBox::inform(nullptr, made.error());
    return made.ok();
}

} // namespace

namespace {
// Lives in Main, so that it closes while the application object still exists.
std::unique_ptr<Store>* s_conn = nullptr;
// Held from a successful open to the end of the process.
std::unique_ptr<QLockFile> s_lock;
} // namespace

Store& Conn()
{
    Q_ASSERT(s_conn && *s_conn);
    return **s_conn;
}

bool OpenDatabase(const QString& location)
{
    // One window per store file: a second one would show classes and grids that the first one changes under it.
    // A lock left by a process that died is taken over. On a server, windows share the store as a team.
    const bool onServer = PgLocation::isServer(location);
    if (!onServer) {
        s_lock = std::make_unique<QLockFile>(location + u".lock"_s);
        s_lock->setStaleLockTime(0);
    }
    Status opened;
    if (s_lock && !s_lock->tryLock(0) && s_lock->error() == QLockFile::LockFailedError) {
        qint64 pid = 0;
        s_lock->getLockInfo(&pid, nullptr, nullptr);
        opened = Status::failure(u"这个数据库已经在另一个关键词分类窗口中打开（进程 %1）。"_s.arg(pid));
    } else if (auto store = openStore(location); store) {
        *s_conn = std::move(store).value();
    } else {
        opened = Status::of(store);
    }
    if (opened)
        return true;
    const QString where = onServer ? u"\n数据库："_s + PgLocation::describe(location)
                                   : u"\n数据库文件："_s + QDir::toNativeSeparators(location);
    MessageBox::show(nullptr, opened.error() + where, productTitle(), MessageBox::Icon::None, MessageBox::Buttons::Ok,
                     MessageBox::Answer::Ok);
    return false;
}

int Main(const QString& location)
{
    // Without the translations the standard buttons read Yes, No and OK beside the Chinese texts; they still work.
    installQtTranslations();
    std::unique_ptr<Store> store;
    s_conn = &store;
    const auto release = qScopeGuard([] { s_conn = nullptr; });
    if (location == userStorePath() && !QFileInfo::exists(location) && !offerNewStore(location))
        return 1;
    // Said once, and the operator goes on: a team may have reasons of its own to trust its network.
    if (const QString warning = PgLocation::tlsWarning(location); !warning.isEmpty()) {
        std::fputs(qPrintable(u"korvel: "_s + warning + u'\n'), stderr);
        MessageBox::show(nullptr, warning, productTitle(), MessageBox::Icon::None, MessageBox::Buttons::Ok,
                         MessageBox::Answer::Ok);
    }
    if (!OpenDatabase(location))
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
