#pragma once

#include "store/Result.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>
#include <memory>

class QSqlError;

// One named Qt database connection with the statements prepared on it and the transactions run on it.
// It is used from the thread that opened it only, and closes when it goes.
class Connection
{
public:
    // Registers a connection of the given Qt driver under a name of its own; open() connects it.
    explicit Connection(const QString& driver);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QSqlDatabase database() const;
    const QString& name() const { return m_name; }
    Status open();
    // Finishes every statement and closes the connection; it can be opened again.
    void close();

    // A statement prepared once and reused; values are bound before each run.
    Result<QSqlQuery*> statement(const QString& sql);
    // Runs a statement that returns no rows; gives the number of rows it changed.
    Result<qint64> execute(const QString& sql, const QVariantList& values = {});
    // Runs a statement of the schema or the session, which takes no values and is not kept prepared.
    Status run(const QString& sql);
    // The first column of the first row of a statement that takes no values and is not kept prepared (null when
    // there is no row).
    Result<QVariant> value(const QString& sql);
    // Runs a query and hands each row over; the query is finished afterwards, so it holds no lock.
    Status read(const QString& sql, const QVariantList& values, const std::function<void(const QSqlQuery&)>& eachRow);
    // The same, until eachRow returns false.
    Status readWhile(const QString& sql, const QVariantList& values,
                     const std::function<bool(const QSqlQuery&)>& eachRow);
    // Runs work in one transaction: committed when it succeeds, rolled back when it fails.
    Status transaction(const std::function<Status()>& work);
    // How a transaction begins, when the engine wants more than BEGIN.
    void setBegin(const QString& statement) { m_begin = statement; }

    // The database layer's own words for an error.
    static QString describe(const QSqlError& error);
    // Called with every error of a statement, and its words; gives the words the caller gets. An engine that can
    // lose its connection tells it here.
    using FailureFilter = std::function<QString(const QSqlError& error, const QString& words)>;
    void setFailureFilter(FailureFilter filter) { m_failureFilter = std::move(filter); }

    // Only tests set this: it is called with every connection as soon as it is open, so that a fault can be
    // planted in connections the program opens for itself.
    using OpenHook = std::function<void(QSqlDatabase&)>;
    static void setOpenHook(OpenHook hook);

private:
    Result<QSqlQuery*> bound(const QString& sql, const QVariantList& values);
    QString failed(const QSqlError& error) const;

    QString m_name;
    QString m_begin = QStringLiteral("BEGIN");
    QHash<QString, std::shared_ptr<QSqlQuery>> m_statements;
    FailureFilter m_failureFilter;
};
