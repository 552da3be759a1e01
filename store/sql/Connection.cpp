#include "Connection.h"

#include <QSqlError>

#include <atomic>

using namespace Qt::StringLiterals;

Connection::Connection(const QString& driver)
{
    static std::atomic<int> counter {0};
    m_name = u"korvel-"_s + QString::number(++counter);
    QSqlDatabase::addDatabase(driver, m_name);
}

Connection::~Connection()
{
    close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

namespace {
Connection::OpenHook& openHook()
{
    static Connection::OpenHook hook;
    return hook;
}
} // namespace

void Connection::setOpenHook(OpenHook hook)
{
    openHook() = std::move(hook);
}

Status Connection::open()
{
    QSqlDatabase db = database();
    if (!db.open())
        return Status::failure(describe(db.lastError()));
    if (const OpenHook& hook = openHook())
        hook(db);
    return {};
}

void Connection::close()
{
    m_statements.clear();
    database().close();
}

QString Connection::describe(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    // A server's lock wait that gave up (lock_not_available): the operator's own words for it.
    if (error.nativeErrorCode() == u"55P03"_s)
        return u"其他窗口正在使用这些数据（例如正在增加关键词），请稍后再试。（%1）"_s.arg(text);
    return text.isEmpty() ? error.text() : text;
}

QString Connection::failed(const QSqlError& error) const
{
    const QString words = describe(error);
    return m_failureFilter ? m_failureFilter(error, words) : words;
}

Result<QSqlQuery*> Connection::statement(const QString& sql)
{
    if (const auto cached = m_statements.constFind(sql); cached != m_statements.cend())
        return cached->get();
    auto q = std::make_shared<QSqlQuery>(database());
    q->setForwardOnly(true);
    if (!q->prepare(sql))
        return Result<QSqlQuery*>::failure(failed(q->lastError()));
    m_statements.insert(sql, q);
    return q.get();
}

Result<QSqlQuery*> Connection::bound(const QString& sql, const QVariantList& values)
{
    auto q = statement(sql);
    if (!q)
        return q;
    for (qsizetype i = 0; i < values.size(); ++i)
        (*q)->bindValue(int(i), values.at(i));
    return q;
}

Result<qint64> Connection::execute(const QString& sql, const QVariantList& values)
{
    const auto q = bound(sql, values);
    if (!q)
        return q.as<qint64>();
    QSqlQuery& query = **q;
    if (!query.exec())
        return Result<qint64>::failure(failed(query.lastError()));
    const qint64 changed = query.numRowsAffected();
    query.finish();
    return changed;
}

Status Connection::run(const QString& sql)
{
    QSqlQuery q(database());
    if (!q.exec(sql))
        return Status::failure(failed(q.lastError()));
    return {};
}

Result<QVariant> Connection::value(const QString& sql)
{
    QSqlQuery q(database());
    if (!q.exec(sql))
        return Result<QVariant>::failure(failed(q.lastError()));
    return q.next() ? q.value(0) : QVariant();
}

Status Connection::read(const QString& sql, const QVariantList& values,
                        const std::function<void(const QSqlQuery&)>& eachRow)
{
    return readWhile(sql, values, [&](const QSqlQuery& q) {
        eachRow(q);
        return true;
    });
}

Status Connection::readWhile(const QString& sql, const QVariantList& values,
                             const std::function<bool(const QSqlQuery&)>& eachRow)
{
    const auto q = bound(sql, values);
    if (!q)
        return Status::failure(q.error());
    QSqlQuery& query = **q;
    if (!query.exec())
        return Status::failure(failed(query.lastError()));
    while (query.next() && eachRow(query)) { }
    const QSqlError error = query.lastError();
    // A statement left open would hold a read lock until its next run.
    query.finish();
    return error.isValid() ? Status::failure(failed(error)) : Status();
}

Status Connection::transaction(const std::function<Status()>& work)
{
    QSqlDatabase db = database();
    if (const Status begun = run(m_begin); !begun)
        return begun;
    Status status = work();
    if (status && !db.commit())
        status = Status::failure(failed(db.lastError()));
    if (!status)
        db.rollback();
    return status;
}
