// libFuzzer target: a text through the keyword batch path into a store in memory. What comes out is every
// non-blank line exactly as it went in, once per equal keyword when duplicates are left out.

#include "store/KeywordSet.h"
#include "store/Store.h"
#include "ui/add_words/frmAddWords.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

Store& store()
{
    // Never destroyed: the fuzzer ends the process without unwinding, and the order of static destruction
    // would close the store after Qt's own registry of connections is gone.
    static int argc = 1;
    static char name[] = "fuzz_batch";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    static Store* s = [] {
        auto* store = new Store;
        if (!store->openInMemory())
            std::abort();
        return store;
    }();
    Q_UNUSED(app);
    return *s;
}

// The text as the store keeps it: characters with no stored form become U+FFFD.
QString storable(QStringView line)
{
    QString out = line.toString();
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out.at(i).isHighSurrogate() && i + 1 < out.size() && out.at(i + 1).isLowSurrogate())
            ++i;
        else if (out.at(i).isSurrogate() || out.at(i).unicode() >= 0xFFFE)
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

std::string folded(const QString& keyword)
{
    std::string s = keyword.toStdString();
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    Store& s = store();
    const bool excludeDuplicates = data[0] & 1;
    // Half the inputs as UTF-16, so that broken surrogates come in too.
    const QString text = (data[0] & 2)
        ? QString(reinterpret_cast<const QChar*>(data + 1), qsizetype((size - 1) / 2))
        : QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    QList<QString> lines;
    QStringList expected;
    std::set<std::string> seen;
    for (QStringView line : frmAddWords::splitLines(text)) {
        if (line.contains(u'\n') || line.contains(u'\r'))
            std::abort();
        if (frmAddWords::isBlank(line))
            continue;
        lines << line.toString();
        const QString kept = storable(line);
        if (!excludeDuplicates || seen.insert(folded(kept)).second)
            expected << kept;
    }

    if (!s.deleteAllKeywords())
        std::abort();
    KeywordSet set;
    const Store::ChunkResult result = s.addKeywordChunk(lines, excludeDuplicates ? &set : nullptr);
    if (!result.error.isEmpty() || result.added != expected.size() || result.added + result.duplicates != lines.size())
        std::abort();
    const auto stored = s.pendingKeywords(int(lines.size()) + 1);
    if (!stored || *stored != expected)
        std::abort();
    return 0;
}
