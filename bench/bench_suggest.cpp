// How good and how fast the class suggestions are. With real words of known category (THUOCL's lists, one file
// a category), it files a fixed share of each category, as an operator would, and asks for the class of the rest:
// top-1 and top-3, the confidence of each answer against how often answers at that confidence were right (a
// calibration curve), and the share of the unsorted keywords suggested at confidence 0.9 or more, after 10% and
// after 30% filed. It does so for the model the program used before, for a plain baseline (naive Bayes over
// characters and character pairs) and for the program's model; the first two are calibrated the same way, on
// their filed keywords held out one at a time. Then it learns 1,000,000 keywords in 1,000 classes and times
// learning and one suggestion, and tells the memory the model holds.
// Usage: bench_suggest [FOLDER]   (default ../shared/data/thuocl, the folder of IT.txt, animal.txt, ...)

#include "BenchSupport.h"
#include "ReferenceModels.h"
#include "store/suggest/Calibration.h"
#include "store/suggest/Features.h"
#include "store/suggest/Suggester.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Pairs = QList<std::pair<QString, QString>>; // class code, keyword

struct Answer
{
    QStringList ranked; // up to three classes, the likeliest first
    double confidence = 0;
};

// This thread's processor time: the machine is shared, and waiting for it is not the model's doing.
double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Times each call, on the clock and on the processor.
void timeEach(const char* what, const QList<std::pair<QString, QString>>& asked,
              const std::function<void(const QString&, const QString&)>& call)
{
    QList<qint64> wall;
    QList<qint64> cpu;
    QElapsedTimer timer;
    for (const auto& [code, keyword] : asked) {
        const double before = cpuSeconds();
        timer.start();
        call(code, keyword);
        wall << timer.nsecsElapsed();
        cpu << qint64((cpuSeconds() - before) * 1e9);
    }
    Bench::report(qPrintable(QString::fromUtf8(what) + u" (clock)"_s), wall);
    Bench::report(qPrintable(QString::fromUtf8(what) + u" (processor)"_s), cpu);
}

double logOdds(const std::vector<double>& score, size_t chosen)
{
    const double top = *std::max_element(score.begin(), score.end());
    double in = 0;
    double out = 0;
    for (size_t c = 0; c < score.size(); ++c)
        (c == chosen ? in : out) += std::exp(score[c] - top);
    return out <= 0 ? 50 : std::clamp(std::log(in) - std::log(out), -50.0, 50.0);
}

std::vector<size_t> ranking(const std::vector<double>& score)
{
    std::vector<size_t> order(score.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return score[a] > score[b]; });
    return order;
}

// A reference model, calibrated as the program's is: each filed keyword held out, its best class and runner-up.
std::function<Answer(const QString&)> reference(bool firstAndLast, const Pairs& filed)
{
    auto model = std::make_shared<CountingBayes>(firstAndLast);
    for (const auto& [code, keyword] : filed)
        model->learn(code, keyword);
    QList<std::pair<double, bool>> outcomes;
    for (const auto& [code, keyword] : filed) {
        model->forget(code, keyword);
        const std::vector<double> score = model->scores(keyword);
        model->learn(code, keyword);
        const std::vector<size_t> order = ranking(score);
        for (size_t r = 0; r < std::min<size_t>(2, order.size()); ++r)
            outcomes.append({logOdds(score, order[r]), model->codes().at(qsizetype(order[r])) == code});
    }
    auto calibration = std::make_shared<Calibration>();
    calibration->fit(outcomes);
    return [model, calibration](const QString& keyword) {
        const std::vector<double> score = model->scores(keyword);
        const std::vector<size_t> order = ranking(score);
        Answer answer;
        for (size_t r = 0; r < std::min<size_t>(3, order.size()); ++r)
            answer.ranked << model->codes().at(qsizetype(order[r]));
        answer.confidence = order.empty() ? 0 : calibration->at(logOdds(score, order[0]));
        return answer;
    };
}

void measure(const char* name, const std::function<Answer(const QString&)>& model, const Pairs& unsorted)
{
    struct Band
    {
        double from;
        double to;
        int n = 0;
        int right = 0;
        double confidence = 0;
    };
    QList<Band> bands = {{0, 0.5}, {0.5, 0.7}, {0.7, 0.8}, {0.8, 0.9}, {0.9, 0.95}, {0.95, 1.01}};
    int top1 = 0;
    int top3 = 0;
    for (const auto& [code, keyword] : unsorted) {
        const Answer answer = model(keyword);
        const bool right = answer.ranked.value(0) == code;
        top1 += right ? 1 : 0;
        top3 += answer.ranked.contains(code) ? 1 : 0;
        for (Band& band : bands) {
            if (answer.confidence >= band.from && answer.confidence < band.to) {
                ++band.n;
                band.right += right ? 1 : 0;
                band.confidence += answer.confidence;
            }
        }
    }
    const double n = double(unsorted.size());
    const int sure = bands.at(4).n + bands.at(5).n;
    const int sureRight = bands.at(4).right + bands.at(5).right;
    std::printf("  %-9s top-1 %5.1f%%  top-3 %5.1f%%  at >= 0.9: %5.1f%% of the unsorted, %5.1f%% of them right\n",
                name, 100.0 * top1 / n, 100.0 * top3 / n, 100.0 * sure / n, sure ? 100.0 * sureRight / sure : 0.0);
    std::printf("            confidence band: keywords, mean confidence, share right:");
    for (const Band& b : bands) {
        if (b.n > 0)
            std::printf("  [%.2f,%.2f) %d %.2f %.2f", b.from, std::min(b.to, 1.0), b.n, b.confidence / b.n,
                        double(b.right) / b.n);
    }
    std::printf("\n");
}

// A million keywords like real ones: each of 1,000 classes (two levels deep) has three topic words of its own,
// and a keyword is a topic word, any word of the lists, and often a common ending.
std::pair<QString, QString> madeUp(const QStringList& words, QRandomGenerator& random)
{
    static const QStringList endings = {u""_s, u"价格"_s, u"多少钱"_s, u"怎么样"_s, u"图片"_s, u"推荐"_s, u"哪家好"_s};
    const int c = int(random.bounded(1000));
    const QString code = u"%1%2"_s.arg(c / 30 + 1, 3, 10, QChar(u'0')).arg(c % 30 + 1, 3, 10, QChar(u'0'));
    QString keyword = words.at((3 * c + random.bounded(3)) % words.size()) + words.at(random.bounded(int(words.size())))
        + endings.at(random.bounded(int(endings.size())));
    if (random.bounded(4) == 0)
        keyword += QString::number(random.bounded(100));
    return {code, keyword};
}

} // namespace

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
        Pairs filed;
        Pairs unsorted;
        for (qsizetype c = 0; c < categories.size(); ++c) {
            const QStringList& words = categories.at(c);
            for (qsizetype i = 0; i < words.size(); ++i)
                (i < qsizetype(double(words.size()) * share) ? filed : unsorted).append({names.at(c), words.at(i)});
        }
        std::printf("%d categories, %.0f%% of each filed (%lld keywords), %lld unsorted:\n", int(categories.size()),
                    share * 100, qlonglong(filed.size()), qlonglong(unsorted.size()));
        measure("old", reference(true, filed), unsorted);
        measure("baseline", reference(false, filed), unsorted);
        Suggester suggester;
        for (const auto& [code, keyword] : std::as_const(filed))
            suggester.learn(code, keyword);
        QStringList pending;
        for (const auto& [code, keyword] : std::as_const(unsorted))
            pending << keyword;
        suggester.fit(pending);
        measure(
            "new",
            [&](const QString& keyword) {
                return Answer {suggester.suggest(keyword, 3), suggester.best(keyword).confidence};
            },
            unsorted);
    }

    QStringList words;
    for (const QStringList& category : std::as_const(categories))
        words << category;
    constexpr int Learnt = 1000000;
    // The same made-up keywords for each model, and others to suggest for.
    QList<std::pair<QString, QString>> asked;
    QStringList pending;
    QRandomGenerator other(7);
    for (int i = 0; i < 2000; ++i)
        asked << madeUp(words, other);
    for (int i = 0; i < 20000; ++i)
        pending << madeUp(words, other).second;
    const auto right = [&](const std::function<QString(const QString&)>& best) {
        int n = 0;
        for (const auto& [code, keyword] : std::as_const(asked))
            n += best(keyword) == code ? 1 : 0;
        return 100.0 * n / double(asked.size());
    };
    // The floor: only taking the million keywords apart into their features.
    double floor = 0;
    {
        QRandomGenerator random(2024);
        std::vector<quint32> fs;
        const double start = cpuSeconds();
        for (int i = 0; i < Learnt; ++i)
            Features::of(madeUp(words, random).second, fs);
        floor = cpuSeconds() - start;
        std::printf("floor: making up 1,000,000 keywords and their features %.1f s of processor time\n", floor);
    }
    {
        const long before = Bench::residentKiB();
        CountingBayes old(true);
        QRandomGenerator random(2024);
        const double start = cpuSeconds();
        for (int i = 0; i < Learnt; ++i) {
            const auto [code, keyword] = madeUp(words, random);
            old.learn(code, keyword);
        }
        const double learning = cpuSeconds() - start;
        std::printf("old model: learning 1,000,000 keywords in 1,000 classes %.1f s (%.1f x floor), memory %.0f MB, "
                    "top-1 %.1f%%\n",
                    learning, learning / floor, double(Bench::residentKiB() - before) / 1024.0,
                    right([&](const QString& k) {
                        const std::vector<double> score = old.scores(k);
                        return old.codes().at(std::max_element(score.begin(), score.end()) - score.begin());
                    }));
        timeEach("old model: one suggestion", asked, [&](const QString&, const QString& k) { (void)old.scores(k); });
    }
    const long before = Bench::residentKiB();
    Suggester suggester;
    QRandomGenerator random(2024);
    double start = cpuSeconds();
    for (int i = 0; i < Learnt; ++i) {
        const auto [code, keyword] = madeUp(words, random);
        suggester.learn(code, keyword);
    }
    const double learning = cpuSeconds() - start;
    start = cpuSeconds();
    suggester.fit(pending);
    const double fitting = cpuSeconds() - start;
    std::printf("new model: learning 1,000,000 keywords in 1,000 classes %.1f s (%.1f x floor), fitting with %lld "
                "unsorted %.1f s (%.1f x floor)\n",
                learning, learning / floor, qlonglong(pending.size()), fitting, fitting / floor);
    std::printf("new model: memory %.0f MB (%.0f MB reserved), top-1 %.1f%%\n",
                double(Bench::residentKiB() - before) / 1024.0, double(suggester.bytes()) / 1048576.0,
                right([&](const QString& k) { return suggester.best(k).code; }));
    QStringList level;
    for (int c = 1; c <= 34; ++c)
        level << u"%1"_s.arg(c, 3, 10, QChar(u'0'));
    timeEach("new model: one suggestion", asked, [&](const QString&, const QString& k) { (void)suggester.best(k); });
    timeEach("new model: confidences of 34 top-level classes", asked,
             [&](const QString&, const QString& k) { (void)suggester.confidences(k, level); });
    timeEach("new model: a filing learnt and taken back", asked, [&](const QString& code, const QString& k) {
        suggester.learn(code, k);
        suggester.forget(code, k);
    });
    return 0;
}
