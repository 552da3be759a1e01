#include "TestSupport.h"
#include "store/intake/Batch.h"

#include <QMutex>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <thread>
#include <unistd.h>

// What the owner of a team's database relies on: operators' roles, the session's own settings whatever the
// server's defaults, the store's own functions and channel, connections that break, and poolers.
class TestTeamAccess : public WindowTest
{
    Q_OBJECT
private slots:
    void init() override;
    void cleanup() override;
    void operatorsGetRowsNotTheSchema();
    void promisesHoldWhateverTheIsolationDefault_data();
    void promisesHoldWhateverTheIsolationDefault();
    void storesKeepToTheirOwn();
    void storesSharedAtOnceAreAllShared();
    void anOlderStoreIsUpgradedByItsOwner();
    void aBrokenConnectionComesBack_data();
    void aBrokenConnectionComesBack();
    void transactionPoolingIsRefused();

private:
    // A login role of the test server's, made for this test and dropped after it with all it was given.
    QString role(const QString& name);
    static QString admin() { return TestEngine::server(u"korvel_admin"_s); }
    QStringList m_roles;
};

void TestTeamAccess::init()
{
    if (!TestEngine::onServer())
        QSKIP("a team works on a PostgreSQL server");
    WindowTest::init();
    if (QTest::currentTestFailed())
        return;
    // Slow changes of keyword rows, for the tests that act in the middle of one (they make the trigger).
    QVERIFY(m_raw->exec(u"CREATE FUNCTION slow() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
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

void TestTeamAccess::operatorsGetRowsNotTheSchema()
{
    RawDb op(m_temp->path);
    for (const auto& [statement, allowed] :
         {std::pair {u"TRUNCATE Korvels, ClassCounts, KeywordMetrics"_s, true},
          {u"DROP TABLE Korvels"_s, false},
          {u"ALTER TABLE KeyClass ADD COLUMN extra text"_s, false},
          {u"UPDATE KorvelSchema SET version = 9"_s, false},
          {u"CREATE OR REPLACE FUNCTION korvel_key(id bigint) RETURNS bigint AS $$ SELECT 0::bigint $$ LANGUAGE sql"_s,
           false},
          {u"CREATE TRIGGER t BEFORE UPDATE ON Korvels FOR EACH ROW EXECUTE FUNCTION korvel_count()"_s, false}})
        QVERIFY2(op.exec(statement) == allowed, qPrintable(statement));
    // The owner grants on the command line; nobody else can, and a new role cannot even connect before.
    const QString newcomer = role(u"newcomer"_s);
    const QString as = m_temp->ownerPath + u" user="_s + newcomer;
    QVERIFY(!openStore(as));
    for (const auto& [location, grantee, status, words] :
         {std::tuple {m_temp->ownerPath, newcomer, 0, newcomer},
          {m_temp->ownerPath, u"nobody_here"_s, 1, u"没有角色"_s},
          {m_temp->path, newcomer, 1, u"所有者"_s},
          {m_temp->dir.filePath(u"Data.db"_s), newcomer, 2, u"no roles"_s}}) {
        const ProgramRun run
            = runProgram(QString::fromUtf8(KORVEL_SHIPPED), {u"--db"_s, location, u"--grant"_s, grantee});
        const QString said = run.out + run.err;
        QVERIFY2(run.status == status && said.contains(words), qPrintable(said));
    }
    QVERIFY_OK(openStore(as));
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
    // Two batches that share half their lines, in other cases, at once; then three windows serving and filing.
    const auto batch = [](Store& store, int who) {
        QString text;
        for (int i = 0; i < 20000; ++i)
            text += (who == 0 ? u"Same %1\n"_s : u"SAME %1\n"_s).arg(i + who * 10000);
        Batch batch(store, true);
        TextLines lines(text);
        const Status done = batch.run(lines, std::atomic<bool> {false});
        if (!done)
            return done.error();
        return batch.counts().added + batch.counts().duplicates == 20000 ? QString() : u"lines lost"_s;
    };
    QCOMPARE(together(location, 2, batch), QStringList());
    QCOMPARE(sql(u"SELECT count(*) || '/' || count(DISTINCT lower(keywords)) FROM Korvels"_s), u"30000/30000"_s);
    addClasses({{{}, u"甲"_s, u"1"_s}, {u"001"_s, u"乙"_s, u"2"_s}, {{}, u"丙"_s, u"3"_s}, {{}, u"丁"_s, u"4"_s}});
    QMutex mutex;
    QSet<qint64> served;
    const auto serveAndFile = [&](Store& store, int) {
        for (int i = 0; i < 15; ++i) {
            const auto next = store.nextUnsorted();
            const auto filed = store.fileKeyword(next->value().id, u"003"_s, u"丁"_s);
            QMutexLocker lock(&mutex);
            served << next->value().id;
            if (!filed || *filed != Store::Change::Done)
                return filed ? u"not filed"_s : filed.error();
        }
        return QString();
    };
    QCOMPARE(together(location, 3, serveAndFile), QStringList());
    QCOMPARE(served.size(), 45);

    // A slow filing into a class, or into a class below it, while another window deletes the class as empty: the
    // delete waits for the filing and then finds the class no longer empty.
    QVERIFY(m_raw->exec(u"CREATE TRIGGER slow BEFORE UPDATE ON Korvels FOR EACH ROW EXECUTE FUNCTION slow()"_s));
    for (const auto& [into, deleted] : {std::pair {u"001001"_s, u"001"_s}, {u"002"_s, u"002"_s}}) {
        const qint64 id = sql(u"SELECT min(id) FROM Korvels WHERE isSet = 0"_s).toLongLong();
        std::atomic<int> outcome {-1};
        QCOMPARE(together(location, 2,
                          [&](Store& store, int who) {
                              QThread::msleep(who * 100);
                              const auto done = who == 0 ? Status::of(store.fileKeyword(id, into, u"类"_s))
                                                         : Status::of(store.deleteClassIfEmpty(deleted));
                              outcome = who == 0 ? outcome.load() : int(store.classByCode(deleted)->has_value());
                              return done ? QString() : done.error();
                          }),
                 QStringList());
        QCOMPARE(outcome, 1);
        QCOMPARE(sql(u"SELECT classcode FROM Korvels WHERE id = ?"_s, {id}), into);
    }
}

void TestTeamAccess::storesKeepToTheirOwn()
{
    addClasses({{{}, u"甲"_s, u"1"_s}});
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s, u"c"_s}));
    // Functions and a count table of the store's names in another schema on the operator's path, after the store's.
    const QString planted = u"planted_%1"_s.arg(QCoreApplication::applicationPid());
    RawDb owner(TestEngine::server());
    QVERIFY(owner.exec(
        u"CREATE SCHEMA %1; GRANT USAGE ON SCHEMA %1 TO PUBLIC; CREATE TABLE %1.ClassCounts (classcode text, n bigint);"
        u" CREATE FUNCTION %1.korvel_key(id text) RETURNS bigint AS $$ SELECT 0::bigint $$ LANGUAGE sql;"
        u" CREATE FUNCTION %1.korvel_serve(held text) RETURNS TABLE(id bigint, k text, c text, n text, s bigint,"
        u" s0 bigint, s1 bigint) AS $$ SELECT 0::bigint, 'planted', '', '', 0::bigint, 0::bigint, 0::bigint $$"
        u" LANGUAGE sql"_s.arg(planted)));
    const QString path = m_temp->path + u" options='-c search_path=%1,%2'"_s.arg(m_temp->schema, planted);
    auto first = openStore(path);
    auto second = openStore(path);
    QCOMPARE((*first)->nextUnsorted()->value().keywords, u"a"_s);
    QCOMPARE((*second)->nextUnsorted()->value().keywords, u"b"_s);

    // A store in another schema of the database: a window on it hears nothing of this store's changes, and this
    // store's counts are kept in this store's table whatever the search path of whoever files.
    TempStore elsewhere;
    auto other = openStore(elsewhere.path);
    QSignalSpy heardHere(second->get(), &Store::changedElsewhere);
    QSignalSpy heardElsewhere(other->get(), &Store::changedElsewhere);
    QCOMPARE((*first)->fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    QTRY_VERIFY_WITH_TIMEOUT(!heardHere.isEmpty(), 10000);
    RawDb there(elsewhere.ownerPath);
    QVERIFY(there.exec(u"UPDATE %1.Korvels SET classcode = '001', isSet = 1 WHERE id = 3"_s.arg(m_temp->schema)));
    QCOMPARE(sql(u"SELECT n FROM ClassCounts WHERE classcode = '001'"_s), u"2"_s);
    QCOMPARE(there.value(u"SELECT count(*) FROM ClassCounts"_s), u"0"_s);
    QCOMPARE(owner.value(u"SELECT count(*) FROM %1.ClassCounts"_s.arg(planted)), u"0"_s);
    // A class added by another window on that store, announced after the filing: once it is heard there, the
    // filing would have been heard before it.
    auto otherWindow = openStore(elsewhere.path);
    QVERIFY_OK((*otherWindow)->addClass({}, u"乙"_s, u"2"_s));
    QTRY_VERIFY_WITH_TIMEOUT(!heardElsewhere.isEmpty() && heardElsewhere.last().at(0).toBool(), 10000);
    QCOMPARE(heardElsewhere.size(), 1);
    QVERIFY(owner.exec(u"DROP SCHEMA %1 CASCADE"_s.arg(planted)));
}

void TestTeamAccess::storesSharedAtOnceAreAllShared()
{
    // Another owner is sharing a store with the same role at this moment: their grant is not yet committed.
    const QString both = role(u"both"_s);
    QVERIFY_OK(grantOperator(m_temp->ownerPath, both));
    RawDb other(TestEngine::server());
    QVERIFY(other.exec(u"BEGIN"_s));
    QVERIFY(other.exec(u"GRANT CONNECT ON DATABASE %1 TO %2"_s.arg(other.value(u"SELECT current_database()"_s), both)));
    Status shared = Status::failure(u"not yet"_s);
    std::thread sharing([&] { shared = grantOperator(m_temp->ownerPath, both); });
    QThread::msleep(300);
    QVERIFY(other.exec(u"COMMIT"_s));
    sharing.join();
    QVERIFY_OK(shared);
}

void TestTeamAccess::anOlderStoreIsUpgradedByItsOwner()
{
    // A store as version 2 left it: functions that follow the caller's search path.
    QVERIFY(m_raw->exec(u"ALTER FUNCTION korvel_count() RESET search_path; ALTER FUNCTION korvel_key(bigint) RESET"
                        u" search_path; ALTER FUNCTION korvel_serve(bigint) RESET search_path;"
                        u" DROP TABLE SavedRules; UPDATE KorvelSchema SET version = 2"_s));
    const auto refused = openStore(m_temp->path);
    QVERIFY(!refused && refused.error().contains(u"korvel --db 位置 check"_s));
    QVERIFY_OK(openStore(m_temp->ownerPath));
    QCOMPARE(sql(u"SELECT version FROM KorvelSchema"_s), u"7"_s);
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
        QVERIFY(m_raw->exec(u"CREATE TRIGGER slow BEFORE UPDATE ON Korvels FOR EACH ROW EXECUTE FUNCTION slow()"_s));
        std::unique_ptr<QThread> cutter(QThread::create([&] { QThread::msleep(150), cut(); }));
        cutter->start();
        const auto filing = window.fileKeyword(1, u"001"_s, u"甲"_s);
        cutter->wait();
        QVERIFY(!filing && filing.error().contains(u"连接断开"_s));
    } else {
        // Until the window is back (nothing has run its events yet), its keyword is free for others.
        QVERIFY(cut());
        if (meanwhile == u"taken"_s)
            QCOMPARE(m_store->holdKeyword(1).value(), true);
        if (meanwhile == u"filed"_s)
            QCOMPARE(m_store->fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
    }
    QTRY_COMPARE_WITH_TIMEOUT(back.size(), 1, 10000);
    const bool kept = meanwhile == u"nothing"_s || meanwhile == u"filing"_s;
    QCOMPARE(QList<qsizetype>({lost.size(), gone.size(), filed.size()}), QList<qsizetype>({1, kept ? 0 : 1, 0}));
    QCOMPARE(window.nextUnsorted()->value().id, kept ? 1 : 2);
    // A filing cut off was not committed, and is made once when asked again.
    QCOMPARE(sql(u"SELECT count(*) FROM Korvels WHERE isSet = 1"_s), meanwhile == u"filed"_s ? u"1"_s : u"0"_s);
    if (kept)
        QCOMPARE(window.fileKeyword(1, u"001"_s, u"甲"_s).value(), Store::Change::Done);
}

void TestTeamAccess::transactionPoolingIsRefused()
{
    QVERIFY2(QFile::exists(u"/usr/sbin/pgbouncer"_s), "pgbouncer is not installed (scripts/install-deps --test)");
    QVERIFY_OK(m_store->insertKeywords({u"a"_s, u"b"_s}));
    // A pooler of the test's own in front of the test server, on a Unix socket in a folder of its own, with a
    // database in each mode; the store's schema is set on every server connection, and again whenever one comes
    // back to the pool. It will not run as root, and changes to the user postgres when started as root.
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777)));
    const auto setting = [](const QString& name) {
        return QRegularExpression(name + u"=(\\S+)"_s).match(TestEngine::server()).captured(1);
    };
    QString config = u"[pgbouncer]\nunix_socket_dir = %1\nlisten_port = 6432\nauth_type = trust\nauth_file = %1/users\n"
                     u"server_reset_query = DISCARD ALL; SET search_path = %2\nlogfile = %1/log\n%3[databases]\n"_s.arg(
                         dir.path(), m_temp->schema, getuid() == 0 ? u"user = postgres\n"_s : QString());
    for (const QString& mode : {u"transaction"_s, u"session"_s})
        config += u"%1 = host=%2 port=%3 dbname=korvel_test pool_mode=%1 connect_query='SET search_path = %4'\n"_s.arg(
            mode, setting(u"host"_s), setting(u"port"_s), m_temp->schema);
    QVERIFY(!writeFile(dir.filePath(u"users"_s), "\"korvel_operator\" \"\"\n").isEmpty());
    QVERIFY(!writeFile(dir.filePath(u"ini"_s), config.toUtf8()).isEmpty());
    QProcess bouncer;
    bouncer.start(u"/usr/sbin/pgbouncer"_s, {dir.filePath(u"ini"_s)});
    QTRY_VERIFY2(QFile::exists(dir.filePath(u".s.PGSQL.6432"_s)), readFile(dir.filePath(u"log"_s)).constData());
    const QString location = u"host=%1 port=6432 user=korvel_operator dbname="_s.arg(dir.path());
    const auto refused = openStore(location + u"transaction"_s);
    QVERIFY2(!refused && refused.error().contains(u"pool_mode = session"_s), qPrintable(refused.error()));
    auto first = openStore(location + u"session"_s);
    auto second = openStore(location + u"session"_s);
    QVERIFY_OK(first);
    QCOMPARE((*first)->nextUnsorted()->value().keywords, u"a"_s);
    QCOMPARE((*second)->nextUnsorted()->value().keywords, u"b"_s);
    bouncer.terminate();
    QVERIFY(bouncer.waitForFinished());
}

QTEST_MAIN(TestTeamAccess)
#include "TestTeamAccess.moc"
