// libFuzzer target: a text through the keyword batch path into a store in memory. What comes out is every
// non-blank line exactly as it went in, once per equal keyword when duplicates are left out.

#include "store/StoredText.h"
#include "store/intake/Batch.h"
#include "store/intake/Lines.h"
#include "store/sqlite/SqliteStore.h"

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

SqliteStore& store()
{
    // Never destroyed: the fuzzer ends the process without unwinding, and the order of static destruction
    // would close the store after Qt's own registry of connections is gone.
    static int argc = 1;
    static char name[] = "fuzz_batch";
    static char* argv[] = {name, nullptr};
    static auto* app = new QCoreApplication(argc, argv);
    static SqliteStore* s = [] {
        auto* store = new SqliteStore;
        if (!store->openInMemory())
            std::abort();
        return store;
    }();
    Q_UNUSED(app);
    return *s;
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
    SqliteStore& s = store();
    const bool excludeDuplicates = data[0] & 1;
    // Half the inputs as UTF-16, so that broken surrogates come in too.
    const QString text = (data[0] & 2)
        ? QString(reinterpret_cast<const QChar*>(data + 1), qsizetype((size - 1) / 2))
        : QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    QStringList expected;
    std::set<std::string> seen;
    qint64 lines = 0;
    for (QStringView line : Lines::split(text)) {
        if (line.contains(u'\n') || line.contains(u'\r'))
            std::abort();
        if (Lines::isBlank(line))
            continue;
        ++lines;
        const QString kept = storedText(line.toString());
        if (!excludeDuplicates || seen.insert(folded(kept)).second)
            expected << kept;
    }

    if (!s.deleteAllKeywords())
        std::abort();
    Batch batch(s, excludeDuplicates);
    TextLines source(text);
    const std::atomic<bool> cancel {false};
    const Status done = batch.run(source, cancel);
    const Batch::Counts& counts = batch.counts();
    if (!done || counts.added != expected.size() || counts.added + counts.duplicates != lines
        || counts.unprocessed != 0)
        std::abort();
    const auto stored = s.pendingKeywords(int(lines) + 1);
    if (!stored || *stored != expected)
        std::abort();
    return 0;
}
