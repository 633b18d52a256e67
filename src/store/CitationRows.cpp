#include "store/CitationRows.h"


#include "store/CitationFile.h"
#include "store/CitationNumberIndex.h"
#include "store/CitationRecord.h"
#include "store/DateValue.h"
#include "store/ListDateText.h"
#include "store/SearchMatch.h"
#include "store/SearchSettings.h"

#include "store/AnsiText.h"
#include "store/DataFileNames.h"

#include <QColor>
#include <algorithm>
#include <limits>
#include <cstring>
#include <numeric>
#include <optional>
#include <atomic>
#include <thread>
#include <emmintrin.h>
CitationRow CitationRowOf(const char* record, int recNum, bool withTime)
{
    using F = CitationField;
    CitationRow row;
    const DateValue offenseDate = CitationBytes::date(record, F::OffenseDate);
    row.date = ListDateText::date(offenseDate);
    row.citationNumber = CitationBytes::text(record, F::CitationNumber);
    row.offense = CitationBytes::text(record, F::CodeSection);
    row.location = CitationBytes::text(record, F::OccurredOn) + QStringLiteral(" / ")
        + CitationBytes::text(record, F::OccurredAt);
    row.recNum = recNum;
    row.dateSort = ListDateText::dateKey(offenseDate);
    if (withTime)
        row.dateSort += ListDateText::timeKey(CitationBytes::date(record, F::OffenseTime));
    return row;
}

QList<CitationRow> ReadCitationRows(CitationFileView& view, const SearchSettings* search)
{
    QList<CitationRow> rows;
    const int count = view.count();
    if (!search) {
        rows.reserve(count);
        for (int n = 1; n <= count; ++n) {
            const char* record = view.record(n);
            if (!record)
                break; // the view says why; the rows read so far stand
            rows.append(CitationRowOf(record, n, false));
        }
        return rows;
    }
    const bool ignoreCase = search->ignoreCase == 1;
    const bool wholeWord = search->wholeWord == 1;
    for (int n = 1; n <= count; ++n) {
        const char* record = view.record(n);
        if (!record)
            break;
        if (MatchesSearch(SearchedText(record, search->scope), search->phrase, ignoreCase, wholeWord))
            rows.append(CitationRowOf(record, n, true));
    }
    return rows;
}


// ---- Compact rows

namespace {

constexpr CitationField TextFields[4] = {CitationField::CitationNumber, CitationField::CodeSection,
                                         CitationField::OccurredOn, CitationField::OccurredAt};

QString digits(int value, int count)
{
    QString s(count, Qt::Uninitialized);
    for (int i = count - 1; i >= 0; --i, value /= 10)
        s[i] = QChar(u'0' + value % 10);
    return s;
}

} // namespace


void CitationRows::reserve(qsizetype, qsizetype textBytes)
{
    m_text.reserve(textBytes);
}

std::pair<size_t, size_t> CitationRows::Blocks::locate(size_t r) const
{
    if (m_full)
        return {r / Block, r % Block};
    const size_t b = size_t(std::upper_bound(m_starts.begin(), m_starts.end(), r) - m_starts.begin()) - 1;
    return {b, r - m_starts[b]};
}

void CitationRows::Blocks::push_back(const Packed& row)
{
    if (m_blocks.empty() || m_blocks.back().size() >= Block) {
        if (!m_blocks.empty() && m_blocks.back().size() != Block)
            m_full = false;
        m_blocks.emplace_back().reserve(Block);
        m_starts.push_back(m_size);
    }
    m_blocks.back().push_back(row);
    ++m_size;
}

void CitationRows::Blocks::append(std::vector<Packed>&& rows)
{
    if (rows.size() == Block && m_full && (m_blocks.empty() || m_blocks.back().size() == Block)) {
        m_starts.push_back(m_size);
        m_size += rows.size();
        m_blocks.push_back(std::move(rows));
        return;
    }
    for (const Packed& row : rows)
        push_back(row);
}

void CitationRows::Blocks::insert(size_t at, const Packed& row)
{
    if (at >= m_size) {
        push_back(row);
        return;
    }
    const auto [b, i] = locate(at);
    std::vector<Packed>& block = m_blocks[b];
    block.insert(block.begin() + qsizetype(i), row);
    for (size_t k = b + 1; k < m_starts.size(); ++k)
        ++m_starts[k];
    ++m_size;
    m_full = false;
    if (block.size() >= 2 * Block) {
        // Split in two, so that a block stays small whatever is added to it.
        std::vector<Packed> back(block.begin() + qsizetype(Block), block.end());
        block.resize(Block);
        m_blocks.insert(m_blocks.begin() + qsizetype(b) + 1, std::move(back));
        m_starts.insert(m_starts.begin() + qsizetype(b) + 1, m_starts[b] + Block);
    }
}

void CitationRows::Blocks::erase(size_t at)
{
    const auto [b, i] = locate(at);
    std::vector<Packed>& block = m_blocks[b];
    block.erase(block.begin() + qsizetype(i));
    for (size_t k = b + 1; k < m_starts.size(); ++k)
        --m_starts[k];
    --m_size;
    if (block.empty()) {
        m_blocks.erase(m_blocks.begin() + qsizetype(b));
        m_starts.erase(m_starts.begin() + qsizetype(b));
    }
    m_full = m_blocks.empty() || (m_blocks.size() == 1 && m_blocks[0].size() <= Block);
}

void CitationRows::Blocks::assign(const std::vector<Packed>& rows)
{
    m_blocks.clear();
    m_starts.clear();
    m_size = 0;
    m_full = true;
    for (size_t first = 0; first < rows.size(); first += Block) {
        const size_t last = std::min(rows.size(), first + Block);
        m_blocks.emplace_back(rows.begin() + qsizetype(first), rows.begin() + qsizetype(last));
        m_starts.push_back(first);
    }
    m_size = rows.size();
}

void CitationRows::Blocks::resizeFull(size_t n)
{
    m_blocks.clear();
    m_starts.clear();
    for (size_t first = 0; first < n; first += Block) {
        m_blocks.emplace_back(std::min(Block, n - first));
        m_starts.push_back(first);
    }
    m_size = n;
    m_full = true;
}

std::vector<CitationRows::Packed> CitationRows::Blocks::flat() const
{
    std::vector<Packed> out;
    out.reserve(m_size);
    for (const std::vector<Packed>& block : m_blocks)
        out.insert(out.end(), block.begin(), block.end());
    return out;
}

CitationRows::Packed CitationRows::packed(const char* record, int recNum, bool withTime)
{
    QByteArrayView texts[4];
    for (int t = 0; t < 4; ++t) {
        const FieldSpec& field = CitationLayout::field(TextFields[t]);
        texts[t] = QByteArrayView(record + field.offset, field.width);
    }
    return packedOf(texts, CitationBytes::date(record, CitationField::OffenseDate),
                    CitationBytes::date(record, CitationField::OffenseTime), recNum, withTime);
}

CitationRows::Packed CitationRows::packedOf(const QByteArrayView (&texts)[4], DateValue offenseDate,
                                            DateValue offenseTime, int recNum, bool withTime)
{
    Packed row;
    row.recNum = recNum;
    row.text = m_text.size();
    const char* begins[4];
    qsizetype total = 0;
    for (int t = 0; t < 4; ++t) {
        const char* begin = texts[t].data();
        const char* end = begin + texts[t].size();
        while (begin < end && *begin == ' ')
            ++begin;
        // Fields are padded with blanks to their width: sixteen at a time,
        // the last one not blank found among them at once.
        const __m128i blanks = _mm_set1_epi8(' ');
        while (end - begin >= 16) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16));
            const unsigned notBlank = ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, blanks))) & 0xffffu;
            if (notBlank) {
                end -= 15 - (31 - __builtin_clz(notBlank));
                break;
            }
            end -= 16;
        }
        while (end > begin && end[-1] == ' ')
            --end;
        begins[t] = begin;
        row.length[t] = quint8(end - begin);
        total += end - begin;
    }
    // One growth of the block per row, not one per text: a list of a million rows.
    m_text.resize(row.text + total);
    char* out = m_text.data() + row.text;
    for (int t = 0; t < 4; ++t) {
        std::memcpy(out, begins[t], row.length[t]);
        out += row.length[t];
    }
    row.day = DayNumber(offenseDate);
    if (withTime && IsInDateRange(offenseTime)) {
        const QTime t = TimePart(offenseTime);
        row.time = qint16(t.hour() * 100 + t.minute());
    }
    return row;
}

void CitationRows::append(const QByteArrayView (&texts)[4], double offenseDate, double offenseTime, int recNum,
                          bool withTime)
{
    m_rows.push_back(packedOf(texts, offenseDate, offenseTime, recNum, withTime));
}

void CitationRows::append(const char* record, int recNum, bool withTime)
{
    m_rows.push_back(packed(record, recNum, withTime));
}

qint64 CitationRows::takeTexts(CitationRows& from)
{
    const qint64 shift = m_text.size();
    if (shift == 0)
        m_text.swap(from.m_text); // the first: no copy
    else
        m_text.append(from.m_text);
    return shift;
}

void CitationRows::append(std::vector<Packed>&& rows, qint64 textShift)
{
    if (textShift != 0)
        for (Packed& row : rows)
            row.text += textShift;
    m_rows.append(std::move(rows));
}

void CitationRows::sortByKey()
{
    bool sorted = true;
    qint32 last = std::numeric_limits<qint32>::min();
    m_rows.forEach([&](const Packed& row) {
        sorted = sorted && row.recNum >= last;
        last = row.recNum;
    });
    if (sorted)
        return;
    std::vector<Packed> rows = m_rows.flat();
    std::sort(rows.begin(), rows.end(), [](const Packed& a, const Packed& b) { return a.recNum < b.recNum; });
    m_rows.assign(rows);
}

int CitationRows::textWidth(int t) { return CitationLayout::field(TextFields[t]).width; }

const char* CitationRows::textOf(const Packed& row, int t, int* length) const
{
    qint64 at = row.text;
    for (int i = 0; i < t; ++i)
        at += row.length[i];
    *length = row.length[t];
    return m_text.constData() + at;
}

CitationRow CitationRows::decoded(int r) const
{
    CitationRow row;
    row.date = cellText(r, ListColumn::Date);
    row.citationNumber = cellText(r, ListColumn::CitationNumber);
    row.offense = cellText(r, ListColumn::Offense);
    row.location = cellText(r, ListColumn::Location);
    row.recNum = at(r).recNum;
    row.dateSort = cellText(r, ListColumn::DateSort);
    return row;
}

QString CitationRows::cellText(int r, int column) const
{
    const Packed& row = at(r);
    int length = 0;
    switch (column) {
    case ListColumn::Date:
        if (!row.day)
            return QString();
        return ListDateText::date(ToDateValue(QDate(int(row.day / 10000), int(row.day / 100 % 100), int(row.day % 100))));
    case ListColumn::CitationNumber: {
        const char* text = textOf(row, 0, &length);
        return Ansi::decode(text, length);
    }
    case ListColumn::Offense: {
        const char* text = textOf(row, 1, &length);
        return Ansi::decode(text, length);
    }
    case ListColumn::Location: {
        const char* on = textOf(row, 2, &length);
        QString out = Ansi::decode(on, length) + QStringLiteral(" / ");
        const char* occurredAt = textOf(row, 3, &length);
        return out + Ansi::decode(occurredAt, length);
    }
    case ListColumn::RecNum: return QString::number(row.recNum);
    case ListColumn::DateSort:
        return (row.day ? digits(int(row.day), 8) : QString()) + (row.time >= 0 ? digits(row.time, 4) : QString());
    default: return QString();
    }
}

namespace {

// One stretch of records read by one of the threads: its rows (their texts
// in that thread's own rows) and, when a record in it could not be read,
// the rows before that record.
struct Stretch {
    std::vector<CitationRows::Packed> rows;
    int reader = -1; // which thread read it; -1 not read
    bool failed = false;
};

// What one reading thread has: its own view of the file and the texts of
// the rows it made.
struct Reader {
    explicit Reader(const QString& fileName) : view(fileName) {}
    CitationFileView view;
    CitationRows texts;
};

// Reads the records of one stretch; false when one could not be read.
bool readStretch(Reader& reader, int first, int last, const SearchSettings* search,
                 std::optional<RecordMatcher>& matcher, Stretch& out, CitationNumberIndex* numbers)
{
    const FieldSpec& number = CitationLayout::field(CitationField::CitationNumber);
    out.rows.reserve(search ? 0 : size_t(last - first + 1));
    for (int n = first; n <= last; ++n) {
        const char* record = reader.view.record(n);
        if (!record) {
            out.failed = true;
            return false;
        }
        if (numbers)
            numbers->fill(n, QByteArrayView(record + number.offset, number.width));
        if (!matcher || matcher->matches(record))
            out.rows.push_back(reader.texts.packed(record, n, search != nullptr));
    }
    return true;
}

} // namespace

CitationRows LoadCitationRows(const QString& fileName, const SearchSettings* search, FileError& error, int splitFrom,
                              qint64* fileLength, CitationNumberIndex* numbers, int stretchRecords)
{
    error.clear();
    if (search)
        numbers = nullptr; // a sub-list does not hold every record
    const CitationNumberIndex::Stamp before = numbers ? numbers->stampNow() : CitationNumberIndex::Stamp();
    const QString name = fileName.isEmpty() ? CitationFileName : fileName;
    // Two readers, each with its own view, take stretches of records in turn
    // from the front, so that both work until the end whatever the speed of
    // each; the stretches are joined in record order.
    Reader readers[2] = {Reader(name), Reader(name)};
    if (fileLength)
        *fileLength = 0;
    if (!readers[0].view.open()) {
        error = readers[0].view.lastError();
        if (numbers)
            numbers->invalidate();
        return CitationRows();
    }
    if (fileLength)
        *fileLength = readers[0].view.size();
    const int count = readers[0].view.count();
    if (numbers)
        numbers->beginFill(count);
    // Asked once: the call asks the system anew each time.
    static const unsigned cores = std::thread::hardware_concurrency();
    const bool split = count >= qMax(2, splitFrom) && cores >= 2
        && readers[1].view.open() && readers[1].view.count() >= count;
    // A file of a few blocks is cut finer, so that neither thread is left
    // with a whole block to read alone at the end.
    const int per = !split ? qMax(count, 1)
        : count >= 16 * stretchRecords ? qMax(1, stretchRecords)
                                        : qMax(1, qMin(stretchRecords, (count + 15) / 16));
    // The first reader's texts become the list's, with room for the second's
    // after them, so the join copies those once and moves nothing else.
    if (!search) {
        readers[0].texts.reserve(0, qsizetype(count) * 48);
        readers[1].texts.reserve(0, split ? qsizetype(count) * 24 : 0);
    }
    std::vector<Stretch> stretches(size_t((count + per - 1) / per));
    std::atomic<int> next{0};
    std::atomic<int> firstFailed{int(stretches.size())}; // no stretch after it is read
    const auto read = [&](int r) {
        std::optional<RecordMatcher> matcher;
        if (search)
            matcher.emplace(search->phrase, search->scope, search->ignoreCase == 1, search->wholeWord == 1);
        for (int s = next++; s < firstFailed.load(); s = next++) {
            Stretch& stretch = stretches[size_t(s)];
            stretch.reader = r;
            const int first = s * per + 1;
            if (!readStretch(readers[r], first, qMin(count, first + per - 1), search, matcher, stretch, numbers)) {
                int seen = firstFailed.load();
                while (s < seen && !firstFailed.compare_exchange_weak(seen, s)) {
                }
                return;
            }
        }
    };
    if (split) {
        std::thread worker(read, 1);
        read(0);
        worker.join();
    } else {
        read(0);
    }
    const int failed = firstFailed.load();
    if (numbers)
        numbers->endFill(before, count, failed == int(stretches.size()));
    CitationRows rows;
    const qint64 shift[2] = {rows.takeTexts(readers[0].texts), rows.takeTexts(readers[1].texts)};
    for (int s = 0; s < int(stretches.size()) && s <= failed; ++s) {
        Stretch& stretch = stretches[size_t(s)];
        rows.append(std::move(stretch.rows), shift[stretch.reader]);
        if (stretch.failed) {
            error = readers[stretch.reader].view.lastError(); // nothing after the failing record counts
            break;
        }
    }
    return rows;
}
// ---- The model