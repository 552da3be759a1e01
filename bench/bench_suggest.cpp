// How good and how fast the class suggestions are. With real words of known category (THUOCL's lists, one file
// a category), it files a share of each category, as an operator would, and asks for the class of the rest:
// top-1 and top-3 accuracy after 10% and after 30% filed. Then it learns 1,000,000 keywords in 1,000 classes
// and times one suggestion.
// Usage: bench_suggest [FOLDER]   (default ../shared/data/thuocl, the folder of IT.txt, animal.txt, ...)

#include "BenchSupport.h"
#include "store/suggest/Suggester.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"../shared/data/thuocl"_s);
    QList<QStringList> categories;
    QStringList names;
    for (const QString& file : folder.entryList({u"*.txt"_s}, QDir::Files, QDir::Name)) {
        QFile f(folder.filePath(file));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        QStringList words = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (QString& w : words)
            w = w.trimmed();
        // Always the same order, so that runs compare.
        std::shuffle(words.begin(), words.end(), QRandomGenerator(42));
        categories << words;
        names << file.chopped(4);
    }
    if (categories.isEmpty()) {
        std::printf("no word lists in %s\n", qPrintable(folder.path()));
        return 2;
    }
    for (const double share : {0.10, 0.30}) {
        Suggester suggester;
        qsizetype tested = 0;
        qsizetype top1 = 0;
        qsizetype top3 = 0;
        for (qsizetype c = 0; c < categories.size(); ++c) {
            const qsizetype filed = qsizetype(double(categories.at(c).size()) * share);
            for (qsizetype i = 0; i < filed; ++i)
                suggester.learn(names.at(c), categories.at(c).at(i));
        }
        for (qsizetype c = 0; c < categories.size(); ++c) {
            const QStringList& words = categories.at(c);
            for (qsizetype i = qsizetype(double(words.size()) * share); i < words.size(); ++i) {
                const QStringList best = suggester.suggest(words.at(i), 3);
                ++tested;
                top1 += best.value(0) == names.at(c) ? 1 : 0;
                top3 += best.contains(names.at(c)) ? 1 : 0;
            }
        }
        std::printf("%d categories, %.0f%% of each filed: top-1 %.1f%%, top-3 %.1f%% of %lld keywords\n",
                    int(categories.size()), share * 100, 100.0 * double(top1) / double(tested),
                    100.0 * double(top3) / double(tested), qlonglong(tested));
    }

    // A million filed keywords in a thousand classes, made of the same words.
    QStringList all;
    for (const QStringList& words : categories)
        all << words;
    Suggester large;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000000; ++i) {
        const QString& word = all.at((qsizetype(i) * 7919) % all.size());
        large.learn(u"%1"_s.arg(i % 1000, 6, 10, QChar(u'0')),
                    word + all.at((qsizetype(i) * 104729) % all.size()) + QString::number(i % 97));
    }
    std::printf("learning 1,000,000 keywords in 1,000 classes: %.1f s, resident memory %.1f MB\n",
                timer.elapsed() / 1000.0, Bench::residentKiB() / 1024.0);
    QList<qint64> times;
    for (int i = 0; i < 2000; ++i) {
        const QString keyword = all.at((qsizetype(i) * 31) % all.size()) + u"价格"_s;
        timer.restart();
        const QStringList best = large.suggest(keyword);
        times << timer.nsecsElapsed();
        if (best.isEmpty())
            return 1;
    }
    Bench::report("one suggestion, 1,000,000 keywords filed", times);
    return 0;
}
