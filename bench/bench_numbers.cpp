// Imports 1,000,000 keywords (about 700,000 distinct) into a fresh store twice over, as the command line does
// (duplicates left out): once as a text file, a keyword a line, and once as a keyword planner's export of the same
// keywords (UTF-16 with a byte-order mark, tabs, two title lines, its every column with twelve months of
// searches). Prints each time, from opening the file to the last chunk, best of three rounds, and their ratio.
// Usage: bench_numbers [--sync=normal] [LOCATION-OF-AN-EMPTY-SERVER-SCHEMA]

#include "BenchSupport.h"
#include "store/intake/KeywordFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int Lines = 1000000;
constexpr int Distinct = 700000;
constexpr int Rounds = 3;

QString keyword(int i)
{
    static const QStringList words = {u"手机"_s, u"价格"_s, u"Phone"_s, u"评测"_s, u"推荐"_s, u"附近"_s, u"哪个好"_s};
    const int k = int((qint64(i) * 7919) % Distinct);
    return words.at(k % words.size()) + u' ' + words.at((k / 7) % words.size()) + u' ' + QString::number(k);
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

QByteArray plannerExport()
{
    QString text = u"Keyword Stats 2024-03-01 at 09_15_42\r\nAll locations; January 1, 2024 - December 31, 2024\r\n"
                   u"Keyword\tCurrency\tSegmentation\tAvg. monthly searches\tThree month change\tYoY change\t"
                   u"Competition\tCompetition (indexed value)\tTop of page bid (low range)\t"
                   u"Top of page bid (high range)\tAd impression share\tOrganic impression share\t"
                   u"Organic average position\tIn account?\tIn plan?"_s;
    static const char* const Months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (const char* month : Months)
        text += u"\tSearches: "_s + QString::fromLatin1(month) + u" 2024"_s;
    text += u"\r\n"_s;
    for (int i = 0; i < Lines; ++i) {
        const int volume = 10 * (i % 5000);
        text += keyword(i) + u"\tUSD\t\t"_s + (i % 3 == 0 ? u"1K – 10K"_s : QString::number(volume))
            + u"\t0%\t-18%\tHigh\t"_s + QString::number(i % 101) + u'\t' + QString::number(0.05 + (i % 300) / 100.0)
            + u'\t' + QString::number(1.5 + (i % 700) / 100.0) + u"\t\t\t\t\t"_s;
        for (int m = 0; m < 12; ++m)
            text += u'\t' + QString::number(volume + m);
        text += u"\r\n"_s;
    }
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

// Seconds to import the file into a fresh store at location, or a negative number when it failed.
double import(const QString& file, const QString& location)
{
    QElapsedTimer timer;
    timer.start();
    auto opened = KeywordFile::open(file);
    const auto store = Bench::open(location);
    if (!opened || !store) {
        std::printf("cannot import %s\n", qPrintable(opened ? u"into "_s + location : opened.error()));
        return -1;
    }
    const double opening = timer.nsecsElapsed() / 1e9;
    std::vector<std::unique_ptr<KeywordFile>> files;
    files.push_back(std::move(opened).value());
    FileLines source(std::move(files));
    Batch batch(*store, true);
    const std::atomic<bool> cancel {false};
    if (const Status stored = batch.run(source, cancel); !stored) {
        std::printf("import failed: %s\n", qPrintable(stored.error()));
        return -1;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!store->deleteAllKeywords())
        return -1;
    std::printf("  %s: %.2f s (opening it %.2f s), %lld added, %lld with numbers\n", qPrintable(file.section(u'/', -1)),
                seconds, opening, batch.counts().added, batch.counts().numbered);
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Bench::synchronousFromArguments(argc, argv);
    QTemporaryDir dir;
    QString server;
    for (int i = 1; i < argc; ++i) {
        if (!QByteArray(argv[i]).startsWith("--"))
            server = QString::fromLocal8Bit(argv[i]);
    }
    // A store file of its own for each import, so that none starts with the free pages of the one before.
    int made = 0;
    const auto fresh = [&]() -> QString {
        if (!server.isEmpty())
            return server;
        const QString path = dir.filePath(u"Data%1.db"_s.arg(++made));
        return createStore(path) ? path : QString();
    };
    QString text;
    for (int i = 0; i < Lines; ++i)
        text += keyword(i) + u"\r\n"_s;
    const QString plain = dir.filePath(u"keywords.txt"_s);
    const QString planner = dir.filePath(u"planner.csv"_s);
    if (!write(plain, text.toUtf8()) || !write(planner, plannerExport()))
        return 1;
    std::printf("%d lines, %d distinct: text file %.1f MB, planner export %.1f MB\n", Lines, Distinct,
                QFile(plain).size() / 1e6, QFile(planner).size() / 1e6);
    double best[2] = {1e9, 1e9};
    for (int round = 0; round < Rounds; ++round) {
        const double times[2] = {import(plain, fresh()), import(planner, fresh())};
        for (int i = 0; i < 2; ++i) {
            if (times[i] < 0)
                return 1;
            best[i] = std::min(best[i], times[i]);
        }
    }
    std::printf("best of %d: text file %.2f s, planner export %.2f s: %.2f times the text file\n", Rounds, best[0],
                best[1], best[1] / best[0]);
    return 0;
}
