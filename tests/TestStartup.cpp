#include "TestSupport.h"

#include <QStandardPaths>

#include <unistd.h>

// Runs the real program: where it looks for the store, and what it says when it cannot start.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initIsNewAndComplete();
    void failuresShowOneMessageAndNoWindow_data();
    void failuresShowOneMessageAndNoWindow();
    void storeIsFoundBesideTheProgram();
    void oneWindowPerStore();
    void theShippedProgramAnswersNoQuestionItself();
    void anInstalledCopyOffersAStoreOfItsOwn();
    void aServerWithoutACheckedCertificateIsSaidOnce();

private:
    struct Run
    {
        bool finished = false;
        int exitCode = -1;
        QStringList messages;
        QString err;
    };
    // Runs command (the test build of the program, or a command that starts it) with its message boxes written to
    // log, until it exits or has shown messagesToWaitFor messages; then it is asked to end.
    static Run run(const QStringList& command, const QString& log, const QString& workingDir = {},
                   int messagesToWaitFor = -1);
    Run run(const QStringList& arguments, const QString& workingDir = {}, int messagesToWaitFor = -1)
    {
        return run(QStringList(m_program) + arguments, m_dir.filePath(u"messages-%1.log"_s.arg(++m_runs)), workingDir,
                   messagesToWaitFor);
    }
    // The test build writes its message boxes to log instead of showing them.
    static QProcessEnvironment environment(const QString& log)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"KORVEL_MESSAGE_LOG"_s, log);
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        return env;
    }
    static QStringList logged(const QString& log)
    {
        return QString::fromUtf8(readFile(log)).split(u'\n', Qt::SkipEmptyParts);
    }
    const QString m_program = QString::fromUtf8(KORVEL_BINARY);
    QTemporaryDir m_dir;
    int m_runs = 0;
};

TestStartup::Run TestStartup::run(const QStringList& command, const QString& log, const QString& workingDir,
                                  int messagesToWaitFor)
{
    QProcess process;
    process.setProcessEnvironment(environment(log));
    process.setWorkingDirectory(workingDir);
    process.start(command.first(), command.mid(1));
    Run result;
    if (messagesToWaitFor < 0) {
        result.finished = process.waitForFinished(20000);
    } else {
        QDeadlineTimer deadline(20000);
        while (logged(log).size() < messagesToWaitFor && !process.waitForFinished(50) && !deadline.hasExpired()) { }
        result.finished = process.state() != QProcess::Running;
        process.terminate();
        process.waitForFinished();
    }
    result.exitCode = result.finished ? process.exitCode() : -1;
    result.messages = logged(log);
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestStartup::initIsNewAndComplete()
{
    const QString path = m_dir.filePath(u"new.db"_s);
    QCOMPARE(runProgram(m_program, {u"--init"_s, path}).status, 0);
    QCOMPARE(RawDb(path).value(u"SELECT count(*) FROM sqlite_master WHERE type = 'index'"_s), u"4"_s);
    // Once more on the same path: refused on standard error, the store untouched.
    const QByteArray before = readFile(path);
    const ProgramRun again = runProgram(m_program, {u"--init"_s, path});
    QVERIFY(again.status > 0);
    QVERIFY(again.err.contains(path));
    QCOMPARE(readFile(path), before);

    const QString sample = m_dir.filePath(u"sample.db"_s);
    QCOMPARE(runProgram(m_program, {u"--init"_s, sample, u"--sample"_s}).status, 0);
    RawDb raw(sample);
    QVERIFY(raw.value(u"SELECT count(*) FROM Korvels WHERE isSet = 0"_s).toInt() >= 200);
    QVERIFY(raw.value(u"SELECT count(*) FROM KeyClass WHERE length(code) = 3"_s).toInt() >= 3);
}

void TestStartup::failuresShowOneMessageAndNoWindow_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("missing file") << u"missing"_s << u"unable to open database file"_s;
    QTest::newRow("a text file named Data.db") << u"text"_s << u"file is not a database"_s;
    QTest::newRow("no keyword table") << u"DROP TABLE Korvels"_s << u"Korvels"_s;
    QTest::newRow("missing column") << u"ALTER TABLE KeyClass DROP COLUMN maxnext"_s << u"maxnext"_s;
    QTest::newRow("newer schema") << u"PRAGMA user_version = 7"_s << u"结构版本为 7"_s;
}

void TestStartup::failuresShowOneMessageAndNoWindow()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Data.db"_s);
    if (kind == u"text"_s) {
        QVERIFY(!writeFile(path, "id,keywords\n1,hello\n").isEmpty());
    } else if (kind != u"missing"_s) {
        QVERIFY_OK(createStore(path));
        QVERIFY(RawDb(path).exec(kind));
    }
    // Had the program opened its window, it would still be running when this wait ends.
    const Run r = run({u"--db"_s, path});
    QVERIFY(r.finished && r.exitCode != 0);
    QCOMPARE(r.messages.size(), 1);
    QCOMPARE(r.messages.first().section(u'\t', 0, 0), u"关键词分类"_s);
    QVERIFY2(r.messages.first().contains(expected) && r.messages.first().contains(path),
             qPrintable(r.messages.first()));
    QCOMPARE(QFile::exists(path), kind != u"missing"_s);
}

void TestStartup::storeIsFoundBesideTheProgram()
{
    // A copy of the program in a folder of its own, with a store beside it and none in the working directory.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(u"bin"_s) && QDir(dir.path()).mkpath(u"elsewhere"_s));
    const QString program = dir.filePath(u"bin/korvel"_s);
    QVERIFY(QFile::copy(m_program, program));
    // No store beside it: it says so and names the place it looked.
    const Run missing = run({program}, dir.filePath(u"missing.log"_s), dir.filePath(u"elsewhere"_s));
    QVERIFY(missing.finished);
    QCOMPARE(missing.messages.size(), 1);
    QVERIFY(missing.messages.first().contains(dir.filePath(u"bin/Data.db"_s)));

    // Had the program opened the store in the working directory, it would show its keyword instead of saying that
    // all are set.
    QVERIFY_OK(createStore(dir.filePath(u"bin/Data.db"_s)));
    QVERIFY_OK(createStore(dir.filePath(u"elsewhere/Data.db"_s)));
    QVERIFY(RawDb(dir.filePath(u"elsewhere/Data.db"_s)).exec(u"INSERT INTO Korvels(keywords) VALUES ('elsewhere')"_s));
    const Run found = run({program}, dir.filePath(u"found.log"_s), dir.filePath(u"elsewhere"_s), 1);
    QVERIFY(!found.finished);
    QCOMPARE(found.messages, QStringList(u"关键词分类\t所有关键词已设置完毕！"_s));
}

void TestStartup::oneWindowPerStore()
{
    const QString path = m_dir.filePath(u"Data.db"_s);
    QVERIFY_OK(createStore(path));
    QProcess first;
    first.setProcessEnvironment(environment(m_dir.filePath(u"first.log"_s)));
    first.start(m_program, {u"--db"_s, path});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir.filePath(u"first.log"_s)), 20000);

    // A second window on the same store is refused, with one clear message.
    const Run second = run({u"--db"_s, path});
    QVERIFY(second.finished && second.exitCode != 0);
    QCOMPARE(second.messages.size(), 1);
    QVERIFY2(second.messages.first().contains(u"另一个关键词分类窗口"_s), qPrintable(second.messages.first()));

    // The first one dies without cleaning up: its lock does not keep the store closed for good.
    first.kill();
    first.waitForFinished();
    const Run third = run({u"--db"_s, path}, {}, 1);
    QVERIFY(!third.finished);
    QCOMPARE(third.messages, QStringList(u"关键词分类\t所有关键词已设置完毕！"_s));
}

void TestStartup::theShippedProgramAnswersNoQuestionItself()
{
    // The tests' message log exists in the test-only build of the program, never in the one that ships.
    QVERIFY(!readFile(QString::fromUtf8(KORVEL_SHIPPED)).contains("KORVEL_MESSAGE_LOG"));
    QVERIFY(readFile(m_program).contains("KORVEL_MESSAGE_LOG"));
}

void TestStartup::anInstalledCopyOffersAStoreOfItsOwn()
{
    // An installed copy is one its user cannot write beside: as root, the program is run as another user.
    if (getuid() != 0 || QStandardPaths::findExecutable(u"runuser"_s).isEmpty())
        QSKIP("needs root, to run the program as a user who cannot write beside it");
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(u"bin"_s) && QDir(dir.path()).mkpath(u"home"_s));
    QVERIFY(QProcess::execute(u"chmod"_s, {u"755"_s, dir.path()}) == 0);
    QVERIFY(QProcess::execute(u"chmod"_s, {u"777"_s, dir.filePath(u"home"_s)}) == 0);
    const QString program = dir.filePath(u"bin/korvel"_s);
    QVERIFY(QFile::copy(m_program, program));
    const QString log = dir.filePath(u"home/messages.log"_s);
    const QStringList command = {u"runuser"_s,
                                 u"-u"_s,
                                 u"nobody"_s,
                                 u"--"_s,
                                 u"env"_s,
                                 u"XDG_DATA_HOME="_s + dir.filePath(u"home"_s),
                                 u"KORVEL_MESSAGE_LOG="_s + log,
                                 u"QT_QPA_PLATFORM=offscreen"_s,
                                 program};
    // The first start asks whether to make a store among the user's data; the answer is yes.
    const QString store = dir.filePath(u"home/korvel/Data.db"_s);
    const Run first = run(command, log, {}, 2);
    QVERIFY(QFile::exists(store));
    QCOMPARE(first.messages.size(), 2);
    QVERIFY(first.messages.first().contains(store));
    QVERIFY(first.messages.last().contains(u"所有关键词已设置完毕"_s));
    // The next start opens it and asks nothing.
    QVERIFY(QFile::remove(log));
    QCOMPARE(run(command, log, {}, 1).messages, QStringList(u"关键词分类\t所有关键词已设置完毕！"_s));
}

void TestStartup::aServerWithoutACheckedCertificateIsSaidOnce()
{
    // Said on standard error and in the window before the connection is tried, and the program goes on.
    const Run r = run({u"--db"_s, u"host=db.invalid dbname=keywords user=team connect_timeout=3"_s});
    QCOMPARE(r.messages.size(), 2);
    QVERIFY2(r.messages.first().contains(u"db.invalid"_s) && r.messages.first().contains(u"sslmode=prefer"_s),
             qPrintable(r.messages.first()));
    QVERIFY2(r.messages.last().contains(u"无法连接"_s), qPrintable(r.messages.last()));
    QCOMPARE(r.err.count(u"sslmode=verify-full"_s), 1);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
