#include "Suggester.h"

#include <QHashFunctions>

#include <algorithm>
#include <cmath>

namespace {

// How much an unseen feature counts: small, so that what was seen decides.
constexpr double Smoothing = 1.0;

} // namespace

void Suggester::features(const QString& keyword, std::vector<quint32>& out)
{
    out.clear();
    // Letters without case, and no spaces: "iPhone 15" and "iphone15" say the same.
    std::u32string chars;
    for (const char32_t c : keyword.toUcs4()) {
        if (QChar::isSpace(c))
            continue;
        chars.push_back(c >= U'A' && c <= U'Z' ? c + 32 : c);
    }
    for (size_t i = 0; i < chars.size(); ++i) {
        out.push_back(quint32(qHash(chars[i], 1)));
        if (i + 1 < chars.size())
            out.push_back(quint32(qHashBits(chars.data() + i, 2 * sizeof(char32_t), 2)));
    }
    // A Chinese word's last character often names its kind (车, 病, 鱼), and its first often its field.
    if (!chars.empty()) {
        out.push_back(quint32(qHash(chars.back(), 3)));
        out.push_back(quint32(qHash(chars.front(), 4)));
    }
}

void Suggester::count(const QString& classCode, const QString& keyword, int by)
{
    if (classCode.isEmpty())
        return;
    int index = m_index.value(classCode, -1);
    if (index < 0) {
        if (by < 0)
            return;
        index = int(m_codes.size());
        m_index.insert(classCode, index);
        m_codes.append(classCode);
        m_classes.append(ClassStats {});
    }
    std::vector<quint32> fs;
    features(keyword, fs);
    ClassStats& stats = m_classes[index];
    stats.keywords += by;
    stats.features += by * qint64(fs.size());
    m_keywords += by;
    for (const quint32 f : fs) {
        std::vector<Count>& counts = m_counts[f];
        auto it = std::find_if(counts.begin(), counts.end(), [&](const Count& c) { return c.classIndex == index; });
        if (it == counts.end())
            counts.push_back({index, by});
        else
            it->count += by;
    }
}

QStringList Suggester::suggest(const QString& keyword, int howMany) const
{
    if (m_keywords <= 0)
        return {};
    std::vector<quint32> fs;
    features(keyword, fs);
    const double vocabulary = double(m_counts.size()) + 1;
    const double m = double(fs.size());
    // Every class starts from what it scores when none of the keyword's features came with it; a feature that
    // did raises its score by the difference.
    std::vector<double> score(size_t(m_classes.size()));
    for (size_t c = 0; c < score.size(); ++c) {
        const ClassStats& s = m_classes.at(qsizetype(c));
        score[c] = s.keywords <= 0 ? -INFINITY
                                   : std::log(double(s.keywords)) + m * std::log(Smoothing)
                - m * std::log(double(s.features) + Smoothing * vocabulary);
    }
    for (const quint32 f : fs) {
        const auto found = m_counts.find(f);
        if (found == m_counts.end())
            continue;
        for (const Count& c : found->second) {
            if (c.count > 0)
                score[size_t(c.classIndex)] += std::log(c.count + Smoothing) - std::log(Smoothing);
        }
    }
    std::vector<int> order(score.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    const auto best = order.begin() + std::min<qsizetype>(howMany, qsizetype(order.size()));
    std::partial_sort(order.begin(), best, order.end(),
                      [&](int a, int b) { return score[size_t(a)] > score[size_t(b)]; });
    QStringList codes;
    for (auto it = order.begin(); it != best && std::isfinite(score[size_t(*it)]); ++it)
        codes << m_codes.at(*it);
    return codes;
}
