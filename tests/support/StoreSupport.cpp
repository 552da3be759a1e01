#include "StoreSupport.h"

#include "store/postgres/Location.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <atomic>

namespace TestEngine {

bool onServer()
{
    return qEnvironmentVariable("KORVEL_TEST_ENGINE") == u"postgres"_s;
}

QString missing()
{
    if (onServer() && qEnvironmentVariableIsEmpty("KORVEL_TEST_SERVER"))
        return u"no PostgreSQL server for these tests: KORVEL_TEST_SERVER is not set (scripts/test starts one)"_s;
    return {};
}

QString server(const QString& role)
{
    const QString owner = qEnvironmentVariable("KORVEL_TEST_SERVER");
    return role.isEmpty() ? owner : owner + u" user="_s + role;
}

} // namespace TestEngine

namespace {

QSqlDatabase connectRaw(const QString& name, const QString& location)
{
    QSqlDatabase db;
    if (PgLocation::isServer(location)) {
        db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
        db.setConnectOptions(PgLocation::conninfo(location).value());
    } else {
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(location);
    }
    if (!db.open())
        qWarning() << "cannot open" << location << db.lastError().text();
    return db;
}

} // namespace

TempStore::TempStore()
{
    if (!TestEngine::onServer()) {
        path = ownerPath = dir.filePath(u"Data.db"_s);
        created = createStore(path);
        return;
    }
    static int counter = 0;
    schema = u"t%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(++counter);
    if (!RawDb(TestEngine::server()).exec(u"CREATE SCHEMA "_s + schema))
        created = Status::failure(u"cannot make schema "_s + schema);
    ownerPath = TestEngine::server() + u" options='-c search_path="_s + schema + u'\'';
    path = ownerPath + u" user="_s + TestEngine::Operator;
    if (created)
        created = createStore(ownerPath);
    if (created)
        created = grantOperator(ownerPath, TestEngine::Operator);
}

TempStore::~TempStore()
{
    if (!schema.isEmpty())
        RawDb(TestEngine::server()).exec(u"DROP SCHEMA "_s + schema + u" CASCADE"_s);
}

RawDb::RawDb(const QString& location)
{
    // A name of its own: two on one store must not close each other's connection.
    static int opened = 0;
    m_name = u"raw-%1"_s.arg(++opened);
    connectRaw(m_name, location);
}

RawDb::~RawDb()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool RawDb::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(QSqlDatabase::database(m_name));
    bool done;
    if (values.isEmpty()) {
        done = q.exec(sql);
    } else {
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        done = q.exec();
    }
    // A server hands out new ids from a sequence, which rows given their own ids leave behind.
    if (done && TestEngine::onServer() && sql.startsWith(u"INSERT INTO Korvels"_s, Qt::CaseInsensitive))
        done = q.exec(u"SELECT setval(pg_get_serial_sequence('korvels', 'id'), max(id)) FROM Korvels"_s);
    if (done)
        return true;
    qWarning() << sql << q.lastError().text();
    return false;
}

QStringList RawDb::rows(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(QSqlDatabase::database(m_name));
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        qWarning() << sql << q.lastError().text();
    QStringList out;
    while (q.next()) {
        QStringList columns;
        for (int i = 0; i < q.record().count(); ++i)
            columns << q.value(i).toString();
        out << columns.join(u'|');
    }
    return out;
}

bool RawDb::refuse(const QString& table, const QString& event, const QString& message, const QString& condition)
{
    if (!TestEngine::onServer()) {
        return exec(u"CREATE TRIGGER refuse_%1 BEFORE %2 ON %1 %3 BEGIN SELECT RAISE(ABORT, '%4'); END"_s.arg(
            table, event, condition.isEmpty() ? QString() : u"WHEN "_s + condition, message));
    }
    // A server deletes every keyword at once by truncating: refused with the deletes.
    const bool truncate = event == u"DELETE"_s;
    return exec(u"CREATE FUNCTION refuse_%1() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                u" RAISE EXCEPTION '%2'; END $$"_s.arg(table, message))
        && exec(u"CREATE TRIGGER refuse_%1 BEFORE %2 ON %1 FOR EACH ROW %3 EXECUTE FUNCTION refuse_%1()"_s.arg(
            table, event, condition.isEmpty() ? QString() : u"WHEN ("_s + condition + u')'))
        && (!truncate
            || exec(
                u"CREATE TRIGGER refuse_%1_all BEFORE TRUNCATE ON %1 FOR EACH STATEMENT EXECUTE FUNCTION refuse_%1()"_s
                    .arg(table)));
}

bool RawDb::allow(const QString& table)
{
    if (!TestEngine::onServer())
        return exec(u"DROP TRIGGER refuse_"_s + table);
    return exec(u"DROP FUNCTION refuse_%1 CASCADE"_s.arg(table));
}

QStringList together(const QString& location, int n, const std::function<QString(Store&, int)>& work)
{
    std::atomic<int> ready {0};
    QList<QThread*> threads;
    QStringList failures(n);
    for (int i = 0; i < n; ++i) {
        threads << QThread::create([&, i] {
            auto store = openStore(location);
            ++ready;
            while (ready < n)
                QThread::yieldCurrentThread();
            failures[i] = store ? work(**store, i) : store.error();
        });
        threads.last()->start();
    }
    for (QThread* t : threads) {
        t->wait();
        delete t;
    }
    failures.removeAll(QString());
    return failures;
}

QStringList awkwardKeywords()
{
    const QString nul = u"nul"_s + QChar(0) + u"inside"_s;
    QStringList words = {u"O'Brien"_s,
                         u"say \"hi\""_s,
                         u"back\\slash\\"_s,
                         u"100% off"_s,
                         u"_under_score_ a_b%c"_s,
                         u"'; DROP TABLE Korvels; --"_s,
                         u"SELECT * FROM KeyClass WHERE 1=1"_s,
                         u"NULL"_s,
                         nul,
                         u"tab\there"_s,
                         u"control \x01\x02\x1b\x1f\x7f"_s,
                         u"emoji 😀 and 👨‍👩‍👧"_s,
                         u"outside the plane 𠀀𪚥"_s,
                         u"combining e\u0301 a\u0308"_s,
                         u"مرحبا بالعالم"_s,
                         u"\u200fשלום\u200e mixed"_s,
                         u"zero\u200bwidth\u200djoin"_s,
                         u"\ufeffbyte order mark"_s,
                         u"手机\u3000价格"_s,
                         u"\u3000全角空格开头"_s,
                         u"no\u00a0break"_s,
                         u"%s %d %n %%"_s,
                         u"<b>bold</b> &amp; &lt;"_s,
                         u"_x0041_ looks escaped"_s,
                         u"=1+1"_s,
                         u"@SUM(A1)"_s,
                         u"a, b, c"_s,
                         u"C:\\Program Files\\x"_s,
                         u"   spaces around   "_s,
                         u"non-characters \ufffe\uffff"_s,
                         u"MiXeD CaSe"_s,
                         u"华为手机价格"_s};
    // A lone surrogate, as a broken clipboard may hand over, stands last but one.
    words << u"broken "_s + QChar(0xD800) + u"x"_s << QString(100000, u'长');
    return words;
}

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ProgramRun runProgram(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ProgramRun run;
    if (process.waitForFinished(30000)) {
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
    }
    return run;
}

void commandColumns()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("filed");
}

void commandRow(const char* name, const QString& arguments, int status, const QString& says, int filed)
{
    QTest::newRow(name) << arguments.split(u' ') << status << says << filed;
}
