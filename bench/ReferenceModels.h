#pragma once

// The models the suggestions are measured against: the naive Bayes the program used before, over characters,
// character pairs and the first and last character, and the plain baseline over characters and pairs alone.
// Kept here, out of the program, only to be measured.

#include <QHash>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringList>

#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

class CountingBayes
{
public:
    explicit CountingBayes(bool firstAndLast)
        : m_firstAndLast(firstAndLast)
    { }
    void learn(const QString& code, const QString& keyword) { count(code, keyword, +1); }
    void forget(const QString& code, const QString& keyword) { count(code, keyword, -1); }
    const QStringList& codes() const { return m_codes; }

    // The log of each class's likelihood; minus infinity for classes with nothing learnt.
    std::vector<double> scores(const QString& keyword) const
    {
        std::vector<quint32> fs;
        features(keyword, fs);
        const double vocabulary = double(m_counts.size()) + 1;
        const double m = double(fs.size());
        std::vector<double> score(size_t(m_classes.size()));
        for (size_t c = 0; c < score.size(); ++c) {
            const Stats& s = m_classes.at(qsizetype(c));
            score[c] = s.keywords <= 0 ? -std::numeric_limits<double>::infinity()
                                       : std::log(double(s.keywords)) - m * std::log(double(s.features) + vocabulary);
        }
        for (const quint32 f : fs) {
            const auto found = m_counts.find(f);
            if (found == m_counts.end())
                continue;
            for (const auto& [c, n] : found->second) {
                if (n > 0)
                    score[size_t(c)] += std::log(n + 1.0);
            }
        }
        return score;
    }

private:
    struct Stats
    {
        qint64 keywords = 0;
        qint64 features = 0;
    };
    void features(const QString& keyword, std::vector<quint32>& out) const
    {
        out.clear();
        std::u32string chars;
        for (const char32_t c : keyword.toUcs4()) {
            if (!QChar::isSpace(c))
                chars.push_back(c >= U'A' && c <= U'Z' ? c + 32 : c);
        }
        for (size_t i = 0; i < chars.size(); ++i) {
            out.push_back(quint32(qHash(chars[i], 1)));
            if (i + 1 < chars.size())
                out.push_back(quint32(qHashBits(chars.data() + i, 2 * sizeof(char32_t), 2)));
        }
        if (m_firstAndLast && !chars.empty()) {
            out.push_back(quint32(qHash(chars.back(), 3)));
            out.push_back(quint32(qHash(chars.front(), 4)));
        }
    }
    void count(const QString& code, const QString& keyword, int by)
    {
        int index = m_index.value(code, -1);
        if (index < 0) {
            if (by < 0)
                return;
            index = int(m_codes.size());
            m_index.insert(code, index);
            m_codes.append(code);
            m_classes.append(Stats {});
        }
        std::vector<quint32> fs;
        features(keyword, fs);
        m_classes[index].keywords += by;
        m_classes[index].features += by * qint64(fs.size());
        for (const quint32 f : fs) {
            auto& counts = m_counts[f];
            auto it = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == index; });
            if (it == counts.end())
                counts.push_back({index, by});
            else
                it->second += by;
        }
    }

    bool m_firstAndLast;
    QStringList m_codes;
    QHash<QString, int> m_index;
    QList<Stats> m_classes;
    std::unordered_map<quint32, std::vector<std::pair<int, int>>> m_counts;
};
