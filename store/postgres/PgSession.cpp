#include "Location.h"
#include "PgStore.h"

#include <QMutex>
#include <QSqlDriver>
#include <QSqlError>
#include <QThreadPool>

#include <libpq-fe.h>

using namespace Qt::StringLiterals;

// How a window's connection is set up, and opened again when it breaks.

namespace {

// Whatever the role's or the database's defaults: the serving, filing and batch rules are written for READ
// COMMITTED (each statement sees what others committed before it). A stalled window holds up the others for a
// short while at most: a statement gives up waiting for a lock after 10 s, and a session left idle inside a
// transaction for 30 s is ended by the server. The server ends a connection whose data stays unacknowledged
// for 20 s, so a window cut off from the network lets go of its keyword within about half a minute even while
// the others' notifications keep the connection busy; keepalives do the same for an idle one.
const QString SessionSettings[] = {
    u"SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL READ COMMITTED"_s,
    u"SET lock_timeout = '10s'"_s,
    u"SET idle_in_transaction_session_timeout = '30s'"_s,
    u"SET tcp_user_timeout = 20000"_s,
    u"SET tcp_keepalives_idle = 10"_s,
    u"SET tcp_keepalives_interval = 5"_s,
    u"SET tcp_keepalives_count = 3"_s,
};

// The pauses between tries to reach the server again, in milliseconds: doubled each time up to the last.
constexpr int FirstPause = 500;
constexpr int LongestPause = 30000;

} // namespace

struct PgStore::Guard
{
    QMutex mutex;
    PgStore* store = nullptr;
};

PgStore::PgStore()
    : SqlStore(u"QPSQL"_s)
    , m_guard(std::make_shared<Guard>())
{
    m_guard->store = this;
    m_connection.setFailureFilter([this](const QSqlError& error, const QString& words) {
        // The server ending the session (57P..) or the connection failing (08...) may come before libpq has seen
        // the socket close.
        const QString state = error.nativeErrorCode();
        const pg_conn* c = handle();
        if (c && PQstatus(c) == CONNECTION_OK && !state.startsWith(u"57P"_s) && !state.startsWith(u"08"_s))
            return words;
        lost(words);
        return u"与数据库服务器的连接断开了，正在重新连接。（%1）"_s.arg(words);
    });
    // The driver reads the socket whenever the server sends something, a closed connection included; what it
    // found is looked at every second, which costs no traffic.
    m_watch.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, [this] {
        const pg_conn* c = handle();
        if (c && PQstatus(c) != CONNECTION_OK)
            lost(QString::fromUtf8(PQerrorMessage(c)).trimmed());
    });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &PgStore::tryAgain);
}

Status PgStore::reach(const QString& location)
{
    m_location = location;
    const auto info = PgLocation::conninfo(location);
    if (!info)
        return Status::of(info);
    m_connection.database().setConnectOptions(*info);
    if (const Status opened = m_connection.open(); !opened)
        return Status::failure(u"无法连接到 %1：\n%2"_s.arg(PgLocation::describe(location), opened.error()));
    for (const QString& setting : SessionSettings) {
        if (const Status set = m_connection.run(setting); !set)
            return set;
    }
    m_watch.start();
    return {};
}

Status PgStore::checkSessionKept()
{
    // A pooler in transaction mode gives the server connection this window just used to the next client that
    // asks; a session of the program's own would then share it. Session locks, notifications and session
    // settings would all be lost between two statements.
    Connection probe(u"QPSQL"_s);
    probe.database().setConnectOptions(m_connection.database().connectOptions());
    const auto mine = m_connection.value(u"SELECT pg_backend_pid()"_s);
    if (!mine)
        return Status::of(mine);
    if (const Status opened = probe.open(); !opened)
        return opened;
    const auto other = probe.value(u"SELECT pg_backend_pid()"_s);
    const auto mineAgain = m_connection.value(u"SELECT pg_backend_pid()"_s);
    if (!other || !mineAgain)
        return Status::of(!other ? other : mineAgain);
    if (*other != *mine && *mineAgain == *mine)
        return {};
    return Status::failure(
        u"这个连接经过一个按事务分配服务器连接的连接池（例如 pgbouncer 的 pool_mode = "
        u"transaction）：两个连接用上了同一个"
        u"服务器会话。窗口靠自己的会话持有当前关键词、接收其他窗口的改动，在这种连接池后面会把一个关键词同时分给两个窗"
        u"口，"
        u"所以不能这样连接。请直接连接 PostgreSQL 服务器，或让连接池按会话分配（pool_mode = session）。"_s);
}

void PgStore::lost(const QString& reason)
{
    if (m_down)
        return;
    m_down = true;
    m_watch.stop();
    m_pause = FirstPause;
    // Said after the call that found it has returned, so that no view is told in the middle of its own call.
    QMetaObject::invokeMethod(
        this, [this, reason] { emit connectionLost(reason); }, Qt::QueuedConnection);
    m_retry.start(0);
}

void PgStore::tryAgain()
{
    // Whether the server answers is asked on another thread: a network that swallows packets would otherwise
    // hold the window for the whole connect timeout at every try.
    const QByteArray info = m_connection.database().connectOptions().toUtf8();
    std::shared_ptr<Guard> guard = m_guard;
    QThreadPool::globalInstance()->start([guard, info] {
        const bool up = PQping(info.constData()) == PQPING_OK;
        QMutexLocker lock(&guard->mutex);
        if (PgStore* store = guard->store)
            QMetaObject::invokeMethod(
                store, [store, up] { store->answered(up); }, Qt::QueuedConnection);
    });
}

void PgStore::answered(bool up)
{
    if (up) {
        m_connection.close();
        if (m_connection.open()) {
            reconnect();
            return;
        }
    }
    m_retry.start(m_pause);
    m_pause = std::min(m_pause * 2, LongestPause);
}

void PgStore::reconnect()
{
    for (const QString& setting : SessionSettings) {
        if (const Status set = m_connection.run(setting); !set) {
            m_retry.start(m_pause);
            return;
        }
    }
    if (!settle()) {
        m_retry.start(m_pause);
        return;
    }
    m_down = false;
    m_watch.start();
    emit reconnected();
    if (const auto uncertain = std::exchange(m_uncertain, std::nullopt)) {
        // A filing the operator was told had failed may have been committed all the same: the views learn of it.
        std::optional<KeywordRow> row;
        (void)m_connection.read(u"SELECT "_s + KeywordColumns + u" FROM Korvels WHERE id = ? AND isSet = 1"_s,
                                {uncertain->first}, [&](const QSqlQuery& q) { row = keywordFrom(q); });
        if (row && row->classcode == uncertain->second)
            emit keywordFiled(*row);
    }
    // The server let go of the keyword when the session ended; another window may have it now, or have filed it.
    if (m_held != 0) {
        const qint64 held = m_held;
        m_held = 0;
        const auto locked = tryLock(held);
        const auto unsorted = locked && *locked ? stillUnsorted(held) : Result<bool>(false);
        if (unsorted && *unsorted) {
            m_held = held;
        } else {
            if (locked && *locked)
                unlock(held);
            emit heldKeywordLost(held);
        }
    }
    // Whatever the others changed meanwhile was not heard.
    emit changedElsewhere(true, true);
}

PgStore::~PgStore()
{
    QMutexLocker lock(&m_guard->mutex);
    m_guard->store = nullptr;
}
