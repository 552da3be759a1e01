#include "TestSupport.h"
#include "store/intake/Batch.h"

#include <QMutex>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <unistd.h>

// What the owner of a team's database relies on: operators' roles, the session's own settings whatever the
// server's defaults, the store's own functions and channel, connections that break, and poolers.
class TestTeamAccess : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void cleanup() override;
    void operatorsGetRowsNotTheSchema_data();
    void operatorsGetRowsNotTheSchema();
    void grantOnTheCommandLine();
    void promisesHoldWhateverTheIsolationDefault_data();
    void promisesHoldWhateverTheIsolationDefault();
    void storesKeepToTheirOwn();
    void anOlderStoreIsUpgradedByItsOwner();
    void aBrokenConnectionComesBack_data();
    void aBrokenConnectionComesBack();
    void transactionPoolingIsRefused_data();
    void transactionPoolingIsRefused();

private:
    // A login role of the test server's, made for this test and dropped after it with all it was given.
    QString role(const QString& name);
    static QString admin() { return TestEngine::server(u"korvel_admin"_s); }
    // Makes every change of a keyword row take 0.3 s, so that another window can act in the middle of it.
    void slowFilings()
    {
        QVERIFY(m_raw->exec(u"CREATE TRIGGER slow BEFORE UPDATE ON Korvels FOR EACH ROW"
                            u" EXECUTE FUNCTION pg_sleep_trigger()"_s));
    }
    QStringList m_roles;
};

void TestTeamAccess::init()
{
    if (!TestEngine::onServer())
        QSKIP("a team works on a PostgreSQL server");
    WindowTest::init();
    QVERIFY(m_raw->exec(u"CREATE FUNCTION pg_sleep_trigger() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                        u" PERFORM pg_sleep(0.3); RETURN NEW; END $$"_s));
}

void TestTeamAccess::cleanup()
{
    WindowTest::cleanup();
    RawDb server(admin());
    for (const QString& made : std::exchange(m_roles, {}))
        server.exec(u"DROP OWNED BY %1"_s.arg(made)) && server.exec(u"DROP ROLE %1"_s.arg(made));
}

QString TestTeamAccess::role(const QString& name)
{
    const QString made = u"korvel_t%1_%2"_s.arg(QCoreApplication::applicationPid()).arg(name);
    if (RawDb(admin()).exec(u"CREATE ROLE %1 LOGIN"_s.arg(made)))
        m_roles << made;
    return made;
}

void TestTeamAccess::operatorsGetRowsNotTheSchema_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("read") << u"SELECT count(*) FROM Korvels"_s << true;
    QTest::newRow("delete every keyword") << u"TRUNCATE Korvels, ClassCounts"_s << true;
    QTest::newRow("drop a table") << u"DROP TABLE Korvels"_s << false;
    QTest::newRow("alter a table") << u"ALTER TABLE KeyClass ADD COLUMN extra text"_s << false;
    QTest::newRow("replace a function") << u"CREATE OR REPLACE FUNCTION korvel_key(id bigint) RETURNS bigint"
                                           u" LANGUAGE sql AS $$ SELECT 0::bigint $$"_s
                                        << false;
    QTest::newRow("add a function") << u"CREATE FUNCTION korvel_more() RETURNS int LANGUAGE sql AS $$ SELECT 1 $$"_s
                                    << false;
    QTest::newRow("add a trigger") << u"CREATE TRIGGER t BEFORE UPDATE ON Korvels FOR EACH ROW"
                                      u" EXECUTE FUNCTION korvel_count()"_s
                                   << false;
    QTest::newRow("change the version") << u"UPDATE KorvelSchema SET version = 9"_s << false;
}

void TestTeamAccess::operatorsGetRowsNotTheSchema()
{
    QFETCH(QString, statement);
    QFETCH(bool, allowed);
    QCOMPARE(RawDb(m_temp->path).exec(statement), allowed);
}

void TestTeamAccess::grantOnTheCommandLine()
{
    const QString newcomer = role(u"newcomer"_s);
    const QString as = m_temp->ownerPath + u" user="_s + newcomer;
    // The test database lets nobody connect who was not given the right.
    QVERIFY(!openStore(as));
    for (const auto& [location, grantee, status, words] :
         {std::tuple {m_temp->ownerPath, newcomer, 0, newcomer},
          {m_temp->ownerPath, u"nobody_here"_s, 1, u"没有角色"_s},
          {m_temp->path, newcomer, 1, u"所有者"_s},
          {m_temp->dir.filePath(u"Data.db"_s), newcomer, 2, u"no roles"_s}}) {
        const ProgramRun run
            = runProgram(QString::fromUtf8(KORVEL_SHIPPED), {u"--db"_s, location, u"--grant"_s, grantee});
        QCOMPARE(run.status, status);
        const QString said = run.out + run.err;
        QVERIFY2(said.contains(words), qPrintable(said));
    }
    auto opened = openStore(as);
    QVERIFY_OK(opened);
    QVERIFY_OK((*opened)->insertKeywords({u"a"_s}));
    QCOMPARE((*opened)->nextUnsorted()->value().keywords, u"a"_s);
}

void TestTeamAccess::promisesHoldWhateverTheIsolationDefault_data()
{
    QTest::addColumn<QString>("isolation");
    QTest::newRow("the server's default") << QString();
    QTest::newRow("repeatable read") << u"repeatable read"_s;
    QTest::newRow("serializable") << u"serializable"_s;
}

void TestTeamAccess::promisesHoldWhateverTheIsolationDefault()
{
    QFETCH(QString, isolation);
    QString location = m_temp->path;
    if (!isolation.isEmpty()) {
        const QString name = role(u"isolated"_s);
        QVERIFY(RawDb(admin()).exec(u"ALTER ROLE %1 SET default_transaction_isolation = '%2'"_s.arg(name, isolation)));
        QVERIFY_OK(grantOperator(m_temp->ownerPath, name));
        location = m_temp->ownerPath + u" user="_s + name;
        QCOMPARE(RawDb(location).value(u"SELECT current_setting('transaction_isolation')"_s), isolation);
    }
    // Two batches of the same new lines at once.
    QCOMPARE(together(location, 2,
                      [](Store& store, int) {
                          QString text;
                          for (int i = 0; i < 20000; ++i)
                              text += u"same %1\n"_s.arg(i);
                          Batch batch(store, true);
                          TextLines lines(text);
                          const std::atomic<bool> cancel {false};
                          const Status done = batch.run(lines, cancel);
                          return done ? QString() : done.error();
                      }),
             QStringList());
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels"_s), u"20000"_s);

    // Three windows serving and filing at once: each keyword served to one window, and filed.
    addClasses({{{}, u"甲"_s, u"1"_s}, {u"001"_s, u"乙"_s, u"2"_s}, {{}, u"丙"_s, u"3"_s}, {{}, u"丁"_s, u"4"_s}});
    QMutex mutex;
    QList<qint64> served;
    QCOMPARE(together(location, 3,
                      [&](Store& store, int) {
                          for (int i = 0; i < 15; ++i) {
                              const auto next = store.nextUnsorted();
                              if (!next || !next->has_value())
                                  return next ? u"nothing served"_s : next.error();
                              QMutexLocker lock(&mutex);
                              served << (*next)->id;
                              lock.unlock();
                              const auto filed = store.fileKeyword((*next)->id, u"003"_s, u"丁"_s);
                              if (!filed || *filed != Store::Change::Done)
                                  return filed ? u"keyword %1 not filed"_s.arg((*next)->id) : filed.error();
                          }
                          return QString();
                      }),
             QStringList());
    QCOMPARE(QSet<qint64>(served.cbegin(), served.cend()).size(), 45);

    // A slow filing into a class, or into a class below it, while another window deletes the class as empty: the
    // delete waits for the filing and then finds the class no longer empty.
    slowFilings();
    for (const auto& [into, deleted] : {std::pair {u"001001"_s, u"001"_s}, {u"002"_s, u"002"_s}}) {
        const qint64 id = sql(u"SELECT min(id) FROM Korvels WHERE isSet = 0"_s).toLongLong();
        std::atomic<int> outcome {-1};
        QCOMPARE(together(location, 2,
                          [&](Store& store, int who) {
                              if (who == 0) {
                                  const auto filed = store.fileKeyword(id, into, u"类"_s);
                                  return filed ? QString() : filed.error();
                              }
                              QThread::msleep(100);
                              const auto result = store.deleteClassIfEmpty(deleted);
                              outcome = result ? int(*result) : -1;
                              return result ? QString() : result.error();
                          }),
                 QStringList());
        QCOMPARE(outcome, int(Store::ClassDeletion::NotEmpty));
        QCOMPARE(sql(u"SELECT classcode FROM Korvels WHERE id = ?"_s, {id}), into);
        QCOMPARE(sql(u"SELECT count(*) FROM KeyClass WHERE code = ?"_s, {deleted}), u"1"_s);
    }
}

void TestTeamAccess::storesKeepToTheirOwn()
{
    addClasses({{{}, u"甲"_s, u"1"_s}});
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s, u"c"_s}));
    // Functions and a count table of the store's names in another schema on the operator's path, after the store's.
    const QString planted = u"planted_%1"_s.arg(QCoreApplication::applicationPid());
    RawDb owner(TestEngine::server());
    for (const QString& statement :
         {u"CREATE SCHEMA %1"_s, u"GRANT USAGE ON SCHEMA %1 TO PUBLIC"_s,
          u"CREATE TABLE %1.ClassCounts (classcode text, n bigint)"_s,
          u"CREATE FUNCTION %1.korvel_key(id text) RETURNS bigint LANGUAGE sql AS $$ SELECT 0::bigint $$"_s,
          u"CREATE FUNCTION %1.korvel_key(id integer) RETURNS bigint LANGUAGE sql AS $$ SELECT 0::bigint $$"_s,
          u"CREATE FUNCTION %1.korvel_serve(held text) RETURNS TABLE(id bigint, keywords text, classcode text,"
          u" classname text, isset bigint, statue bigint, statue1 bigint) LANGUAGE sql"
          u" AS $$ SELECT 0::bigint, 'planted', '', '', 0::bigint, 0::bigint, 0::bigint $$"_s})
        QVERIFY(owner.exec(statement.arg(planted)));
    const QString path = m_temp->path + u" options='-c search_path=%1,%2'"_s.arg(m_temp->schema, planted);
    auto first = openStore(path);
    auto second = openStore(path);
    QVERIFY_OK(first);
    QVERIFY_OK(second);
    QCOMPARE((*first)->nextUnsorted()->value().keywords, u"a"_s);
    QCOMPARE((*second)->nextUnsorted()->value().keywords, u"b"_s);

    // A store in another schema of the database: a window on it hears nothing of this store's changes, and this
    // store's counts are kept in this store's table whatever the search path of whoever files.
    TempStore elsewhere;
    auto other = openStore(elsewhere.path);
    QVERIFY_OK(other);
    QSignalSpy heardHere(second->get(), &Store::changedElsewhere);
    QSignalSpy heardElsewhere(other->get(), &Store::changedElsewhere);
    QCOMPARE((*first)->fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!heardHere.isEmpty(), 10000);
    QVERIFY(RawDb(elsewhere.ownerPath)
                .exec(u"UPDATE %1.Korvels SET classcode = '001', isSet = 1 WHERE id = 3"_s.arg(m_temp->schema)));
    QCOMPARE(sql(u"SELECT n FROM ClassCounts WHERE classcode = '001'"_s), u"2"_s);
    QCOMPARE(RawDb(elsewhere.ownerPath).value(u"SELECT count(*) FROM ClassCounts"_s), u"0"_s);
    QCOMPARE(owner.value(u"SELECT count(*) FROM %1.ClassCounts"_s.arg(planted)), u"0"_s);
    QCOMPARE(heardElsewhere.size(), 0);
    QVERIFY(owner.exec(u"DROP SCHEMA %1 CASCADE"_s.arg(planted)));
}

void TestTeamAccess::anOlderStoreIsUpgradedByItsOwner()
{
    // A store as version 2 left it: functions that follow the caller's search path.
    QVERIFY(
        m_raw->exec(u"DO $$ DECLARE f text; BEGIN"
                    u" FOREACH f IN ARRAY ARRAY['korvel_count()', 'korvel_key(bigint)', 'korvel_serve(bigint)'] LOOP"
                    u" EXECUTE 'ALTER FUNCTION ' || f || ' RESET search_path'; END LOOP; END $$"_s));
    QVERIFY(m_raw->exec(u"UPDATE KorvelSchema SET version = 2"_s));
    const auto refused = openStore(m_temp->path);
    QVERIFY(!refused && refused.error().contains(u"korvel --db 位置 check"_s));
    QVERIFY_OK(openStore(m_temp->ownerPath));
    QCOMPARE(sql(u"SELECT version FROM KorvelSchema"_s), u"3"_s);
    QCOMPARE(sql(u"SELECT count(*) FROM pg_proc WHERE pronamespace = current_schema()::regnamespace"
                 u" AND proconfig = ARRAY['search_path=' || current_schema() || ', pg_temp']"_s),
             u"3"_s);
    QVERIFY_OK(openStore(m_temp->path));
}

void TestTeamAccess::aBrokenConnectionComesBack_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::newRow("nothing") << u"nothing"_s;
    QTest::newRow("another window took its keyword") << u"taken"_s;
    QTest::newRow("another window filed its keyword") << u"filed"_s;
    QTest::newRow("cut in the middle of a filing") << u"filing"_s;
}

void TestTeamAccess::aBrokenConnectionComesBack()
{
    QFETCH(QString, meanwhile);
    addClasses({{{}, u"甲"_s, u"1"_s}});
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s}));
    const QString name = u"cut_%1"_s.arg(QCoreApplication::applicationPid());
    auto opened = openStore(m_temp->path + u" application_name="_s + name);
    QVERIFY_OK(opened);
    Store& window = **opened;
    QSignalSpy lost(&window, &Store::connectionLost);
    QSignalSpy back(&window, &Store::reconnected);
    QSignalSpy gone(&window, &Store::heldKeywordLost);
    QSignalSpy filed(&window, &Store::keywordFiled);
    QCOMPARE(window.nextUnsorted()->value().id, 1);
    // The server ends the window's session, as when it restarts, and waits until it has ended.
    const auto cut = [name] {
        return RawDb(admin()).exec(
            u"SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE application_name = ?"_s, {name});
    };
    if (meanwhile == u"filing"_s) {
        slowFilings();
        std::unique_ptr<QThread> cutter(QThread::create([&] {
            QThread::msleep(150);
            cut();
        }));
        cutter->start();
        const auto filing = window.fileKeyword(1, u"001"_s, u"甲"_s);
        cutter->wait();
        QVERIFY(!filing && filing.error().contains(u"连接断开"_s));
    } else {
        QVERIFY(cut());
        // Until the window is back (nothing has run its events yet), its keyword is free for others.
        if (meanwhile == u"taken"_s)
            QCOMPARE(m_store->holdKeyword(1).value(), true);
        if (meanwhile == u"filed"_s)
            QCOMPARE(m_store->fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    }
    QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 10000);
    QCOMPARE(lost.size(), 1);
    const bool kept = meanwhile == u"nothing"_s || meanwhile == u"filing"_s;
    QCOMPARE(gone.size(), kept ? 0 : 1);
    QCOMPARE(filed.size(), 0);
    QCOMPARE(window.nextUnsorted()->value().id, kept ? 1 : 2);
    if (kept)
        QCOMPARE(m_store->holdKeyword(1).value(), false);
    // A filing cut off was not committed, and is made once when asked again.
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), meanwhile == u"filed"_s ? u"1"_s : u"0"_s);
    if (meanwhile == u"filing"_s)
        QCOMPARE(window.fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
}

void TestTeamAccess::transactionPoolingIsRefused_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("transaction pooling") << u"transaction"_s;
    QTest::newRow("session pooling") << u"session"_s;
}

void TestTeamAccess::transactionPoolingIsRefused()
{
    QFETCH(QString, mode);
    const QString pgbouncer = u"/usr/sbin/pgbouncer"_s;
    QVERIFY2(QFile::exists(pgbouncer), "pgbouncer is not installed (scripts/install-deps --test)");
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s}));
    // A pooler of the test's own in front of the test server, on a Unix socket in a folder of its own. The store's
    // schema is set on every server connection it opens, and again whenever one comes back to the pool.
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                      | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther));
    const QString server = TestEngine::server();
    const QString host = QRegularExpression(u"host=(\\S+)"_s).match(server).captured(1);
    const QString port = QRegularExpression(u"port=(\\d+)"_s).match(server).captured(1);
    QVERIFY(!writeFile(dir.filePath(u"users.txt"_s), "\"korvel_operator\" \"\"\n").isEmpty());
    QString config
        = u"[databases]\nstore = host=%1 port=%2 dbname=korvel_test pool_mode=%3"
          u" connect_query='SET search_path = %4'\n"
          u"[pgbouncer]\nunix_socket_dir = %5\nlisten_port = 6432\nauth_type = trust\n"
                     u"server_reset_query = DISCARD ALL; SET search_path = %4\n"
          u"auth_file = %5/users.txt\nlogfile = %5/pgbouncer.log\n"_s.arg(host, port, mode, m_temp->schema, dir.path());
    // It will not run as root, and changes to this user when started as root.
    if (getuid() == 0)
        config += u"user = postgres\n"_s;
    QVERIFY(!writeFile(dir.filePath(u"pgbouncer.ini"_s), config.toUtf8()).isEmpty());
    QProcess bouncer;
    bouncer.start(pgbouncer, {dir.filePath(u"pgbouncer.ini"_s)});
    QTRY_VERIFY2(QFile::exists(dir.filePath(u".s.PGSQL.6432"_s)),
                 readFile(dir.filePath(u"pgbouncer.log"_s)).constData());
    const QString location = u"host=%1 port=6432 dbname=store user=%2"_s.arg(dir.path(), TestEngine::Operator);
    auto first = openStore(location);
    if (mode == u"transaction"_s) {
        QVERIFY(!first);
        QVERIFY2(first.error().contains(u"pool_mode = session"_s), qPrintable(first.error()));
    } else {
        QVERIFY_OK(first);
        auto second = openStore(location);
        QVERIFY_OK(second);
        QCOMPARE((*first)->nextUnsorted()->value().keywords, u"a"_s);
        QCOMPARE((*second)->nextUnsorted()->value().keywords, u"b"_s);
    }
    bouncer.terminate();
    QVERIFY(bouncer.waitForFinished());
}

QTEST_MAIN(TestTeamAccess)
#include "TestTeamAccess.moc"
