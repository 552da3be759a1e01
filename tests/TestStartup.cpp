#include "TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

// Runs the real program: its command line, where it looks for the store, and what it says when it cannot start.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initIsNewAndComplete();
    void failuresShowOneMessageAndNoWindow_data();
    void failuresShowOneMessageAndNoWindow();
    void storeIsFoundBesideTheProgram();
    void helpAndVersion();
    void oneWindowPerStore();
    void theShippedProgramAnswersNoQuestionItself();
    void anInstalledCopyOffersAStoreOfItsOwn();

private:
    struct Run
    {
        int exitCode = -1;
        bool finished = false;
        QByteArray errorOutput;
        QStringList messages;
    };
    // Starts the program and waits until it exits, or until it has shown `messagesToWaitFor` messages.
    Run run(const QString& program, const QStringList& arguments, const QString& workingDir = {},
            int messagesToWaitFor = -1);
    QTemporaryDir m_dir;
};

TestStartup::Run TestStartup::run(const QString& program, const QStringList& arguments, const QString& workingDir,
                                  int messagesToWaitFor)
{
    const QString log = m_dir.filePath(u"messages-%1.log"_s.arg(QDateTime::currentMSecsSinceEpoch()));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"KORVEL_MESSAGE_LOG"_s, log);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(env);
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    Run result;
    if (!process.waitForStarted())
        return result;
    const auto readLog = [&] {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    };
    if (messagesToWaitFor >= 0) {
        QElapsedTimer timer;
        timer.start();
        while (readLog().size() < messagesToWaitFor && process.state() == QProcess::Running && timer.elapsed() < 20000)
            QTest::qWait(50);
        result.finished = process.state() != QProcess::Running;
        process.kill();
        process.waitForFinished();
    } else {
        result.finished = process.waitForFinished(20000);
        result.exitCode = process.exitCode();
    }
    result.errorOutput = process.readAllStandardError();
    result.messages = readLog();
    return result;
}

void TestStartup::initIsNewAndComplete()
{
    const QString path = m_dir.filePath(u"new.db"_s);
    Run made = run(QString::fromUtf8(KORVEL_BINARY), {u"--init"_s, path});
    QVERIFY(made.finished);
    QCOMPARE(made.exitCode, 0);
    QCOMPARE(RawDb(path).value(u"SELECT count(*) FROM sqlite_master WHERE type = 'index'"_s), u"4"_s);

    // Once more on the same path: refused on standard error, the store untouched.
    const QByteArray before = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    Run again = run(QString::fromUtf8(KORVEL_BINARY), {u"--init"_s, path});
    QVERIFY(again.finished);
    QVERIFY(again.exitCode != 0);
    QVERIFY(again.errorOutput.contains(path.toUtf8()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);

    const QString sample = m_dir.filePath(u"sample.db"_s);
    QCOMPARE(run(QString::fromUtf8(KORVEL_BINARY), {u"--init"_s, sample, u"--sample"_s}).exitCode, 0);
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
    QTest::newRow("newer schema") << u"PRAGMA user_version = 99"_s << u"99"_s;
}

void TestStartup::failuresShowOneMessageAndNoWindow()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Data.db"_s);
    if (kind == u"text"_s) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("id,keywords\n1,hello\n");
    } else if (kind != u"missing"_s) {
        QVERIFY_OK(createStore(path));
        QVERIFY(RawDb(path).exec(kind));
    }

    // Had the program opened its window, it would still be running when this wait ends.
    Run r = run(QString::fromUtf8(KORVEL_BINARY), {u"--db"_s, path});
    QVERIFY(r.finished);
    QVERIFY(r.exitCode != 0);
    QCOMPARE(r.messages.size(), 1);
    const QStringList parts = r.messages.first().split(u'\t');
    QCOMPARE(parts.value(0), u"关键词分类"_s);
    QVERIFY2(parts.value(1).contains(expected), qPrintable(parts.value(1)));
    QVERIFY(parts.value(1).contains(path));
    QCOMPARE(QFile::exists(path), kind != u"missing"_s);
}

void TestStartup::storeIsFoundBesideTheProgram()
{
    // A copy of the program in a folder of its own, with a store beside it and none in the working directory.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(u"bin"_s));
    QVERIFY(QDir(dir.path()).mkpath(u"elsewhere"_s));
    const QString program = dir.filePath(u"bin/korvel"_s);
    QVERIFY(QFile::copy(QString::fromUtf8(KORVEL_BINARY), program));

    // No store beside it: it says so and names the place it looked.
    Run missing = run(program, {}, dir.filePath(u"elsewhere"_s));
    QVERIFY(missing.finished);
    QCOMPARE(missing.messages.size(), 1);
    QVERIFY(missing.messages.first().contains(dir.filePath(u"bin/Data.db"_s)));

    // A store beside it with no keywords: the window loads and reports that every keyword is set.
    QVERIFY_OK(createStore(dir.filePath(u"bin/Data.db"_s)));
    QVERIFY_OK(createStore(dir.filePath(u"elsewhere/Data.db"_s)));
    // Had the program opened this one, it would show its keyword instead of saying that all are set.
    QVERIFY(RawDb(dir.filePath(u"elsewhere/Data.db"_s)).exec(u"INSERT INTO Korvels(keywords) VALUES ('elsewhere')"_s));
    Run found = run(program, {}, dir.filePath(u"elsewhere"_s), 1);
    QVERIFY(!found.finished);
    QCOMPARE(found.messages, QStringList(u"关键词分类\t所有关键词已设置完毕！"_s));
}

void TestStartup::helpAndVersion()
{
    Run help = run(QString::fromUtf8(KORVEL_BINARY), {u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    Run version = run(QString::fromUtf8(KORVEL_BINARY), {u"--version"_s});
    QCOMPARE(version.exitCode, 0);
    Run bad = run(QString::fromUtf8(KORVEL_BINARY), {u"--no-such-option"_s});
    QVERIFY(bad.finished);
    QVERIFY(bad.exitCode != 0);
    QVERIFY(bad.messages.isEmpty());
}

void TestStartup::oneWindowPerStore()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Data.db"_s);
    QVERIFY_OK(createStore(path));
    QProcess first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"KORVEL_MESSAGE_LOG"_s, dir.filePath(u"first.log"_s));
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    first.setProcessEnvironment(env);
    first.start(QString::fromUtf8(KORVEL_BINARY), {u"--db"_s, path});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(u"first.log"_s)), 20000);

    // A second window on the same store is refused, with one clear message.
    Run second = run(QString::fromUtf8(KORVEL_BINARY), {u"--db"_s, path});
    QVERIFY(second.finished);
    QVERIFY(second.exitCode != 0);
    QCOMPARE(second.messages.size(), 1);
    QVERIFY2(second.messages.first().contains(u"另一个关键词分类窗口"_s), qPrintable(second.messages.first()));

    // The first one dies without cleaning up: its lock does not keep the store closed for good.
    first.kill();
    first.waitForFinished();
    Run third = run(QString::fromUtf8(KORVEL_BINARY), {u"--db"_s, path}, {}, 1);
    QVERIFY(!third.finished);
    QCOMPARE(third.messages, QStringList(u"关键词分类\t所有关键词已设置完毕！"_s));
}

void TestStartup::theShippedProgramAnswersNoQuestionItself()
{
    // The tests' message log exists in the test-only build of the program, never in the one that ships.
    QFile shipped(QString::fromUtf8(KORVEL_SHIPPED));
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QVERIFY(!shipped.readAll().contains("KORVEL_MESSAGE_LOG"));
    QFile logged(QString::fromUtf8(KORVEL_BINARY));
    QVERIFY(logged.open(QIODevice::ReadOnly));
    QVERIFY(logged.readAll().contains("KORVEL_MESSAGE_LOG"));
}

void TestStartup::anInstalledCopyOffersAStoreOfItsOwn()
{
    // An installed copy is one its user cannot write beside: as root, the program is run as another user.
    if (getuid() != 0 || QStandardPaths::findExecutable(u"runuser"_s).isEmpty())
        QSKIP("needs root, to run the program as a user who cannot write beside it");
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                          | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
    QVERIFY(QDir(dir.path()).mkpath(u"bin"_s) && QDir(dir.path()).mkpath(u"home"_s));
    const QString program = dir.filePath(u"bin/korvel"_s);
    QVERIFY(QFile::copy(QString::fromUtf8(KORVEL_BINARY), program));
    QVERIFY(QProcess::execute(u"chmod"_s, {u"777"_s, dir.filePath(u"home"_s)}) == 0);
    const QString log = dir.filePath(u"home/messages.log"_s);
    const auto messages = [&] {
        QFile file(log);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList();
    };
    const auto start = [&] {
        QProcess process;
        process.start(u"runuser"_s, {u"-u"_s, u"nobody"_s, u"--"_s, u"env"_s, u"XDG_DATA_HOME="_s + dir.filePath(u"home"_s),
                                     u"KORVEL_MESSAGE_LOG="_s + log, u"QT_QPA_PLATFORM=offscreen"_s, program});
        QTRY_VERIFY_WITH_TIMEOUT(messages().join(u'|').contains(u"所有关键词已设置完毕"_s), 20000);
        // runuser ends the program it started when it is asked to end, not when it is killed.
        process.terminate();
        process.waitForFinished();
    };
    // The first start asks whether to make a store among the user's data; the answer is yes.
    start();
    QVERIFY(QFile::exists(dir.filePath(u"home/korvel/Data.db"_s)));
    const QStringList asked = messages();
    QCOMPARE(asked.size(), 2);
    QVERIFY(asked.first().contains(dir.filePath(u"home/korvel/Data.db"_s)));
    // The next start opens it and asks nothing.
    QVERIFY(QFile::remove(log));
    start();
    QCOMPARE(messages().size(), 1);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "TestStartup.moc"
