#include "TermBreaker.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

using namespace Qt::StringLiterals;

struct TermBreaker::Private
{
    std::unique_ptr<icu::BreakIterator> words;
    UText text = UTEXT_INITIALIZER;
};

TermBreaker::TermBreaker(bool phrases)
    : d(std::make_unique<Private>())
    , m_phrases(phrases)
{
    UErrorCode error = U_ZERO_ERROR;
    // The Chinese locale's word instance breaks Han text by ICU's CJK dictionary.
    d->words.reset(icu::BreakIterator::createWordInstance(icu::Locale::getChinese(), error));
    if (U_FAILURE(error) || !d->words)
        m_ready = Status::failure(u"ICU 分词器无法建立：%1"_s.arg(QString::fromUtf8(u_errorName(error))));
}

TermBreaker::~TermBreaker()
{
    utext_close(&d->text);
}

namespace {

bool isAsciiCharacter(QStringView term)
{
    return term.size() == 1 && term.front().unicode() < 128;
}

void fold(QString& term)
{
    for (QChar& c : term) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
}

void addOnce(QStringList& terms, const QString& term)
{
    if (!terms.contains(term))
        terms.append(term);
}

} // namespace

QStringList TermBreaker::terms(QStringView keyword)
{
    QStringList out;
    if (!m_ready || keyword.isEmpty())
        return out;
    UErrorCode error = U_ZERO_ERROR;
    utext_openUChars(&d->text, reinterpret_cast<const UChar*>(keyword.utf16()), keyword.size(), &error);
    d->words->setText(&d->text, error);
    if (U_FAILURE(error))
        return out;
    QString previous;
    // Whether only spaces lie between the previous term and here.
    bool adjacent = false;
    bool spaced = false;
    for (int32_t start = d->words->first(), end = d->words->next(); end != icu::BreakIterator::DONE;
         start = end, end = d->words->next()) {
        const QStringView piece = keyword.sliced(start, end - start);
        if (d->words->getRuleStatus() < UBRK_WORD_NONE_LIMIT) {
            const bool blank = std::all_of(piece.begin(), piece.end(), [](QChar c) { return c.isSpace(); });
            adjacent = adjacent && blank;
            spaced = spaced || blank;
            continue;
        }
        if (isAsciiCharacter(piece)) {
            adjacent = false;
            continue;
        }
        QString term = piece.toString();
        fold(term);
        addOnce(out, term);
        if (m_phrases && adjacent)
            addOnce(out, previous + (spaced ? u" "_s : QString()) + term);
        previous = std::move(term);
        adjacent = true;
        spaced = false;
    }
    return out;
}
