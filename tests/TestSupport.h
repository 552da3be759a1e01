#pragma once

#include "store/Store.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Test-side access to a store file: set up states the program itself never makes, and read back what it wrote.
class RawDb
{
public:
    explicit RawDb(const QString& path)
        : m_name(u"raw-"_s + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    bool exec(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec()) {
            qWarning() << sql << q.lastError().text();
            return false;
        }
        return true;
    }

    // The rows of a query, each row's columns joined by '|'.
    QStringList rows(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        QStringList out;
        if (!q.exec()) {
            qWarning() << sql << q.lastError().text();
            return out;
        }
        while (q.next()) {
            QStringList columns;
            for (int i = 0; i < q.record().count(); ++i)
                columns << q.value(i).toString();
            out << columns.join(u'|');
        }
        return out;
    }

    QString value(const QString& sql, const QVariantList& values = {})
    {
        const QStringList r = rows(sql, values);
        return r.isEmpty() ? QString() : r.first();
    }

private:
    QString m_name;
};

// A fresh store file in its own temporary folder.
struct TempStore
{
    QTemporaryDir dir;
    QString path = dir.filePath(u"Data.db"_s);

    TempStore() { QVERIFY(Store::create(path).ok()); }
};
