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
#include <thread>
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
    for (const Packed& row : rows)
        push_back(row);
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
    for (int t = 0; t < 4; ++t) {
        const char* begin = texts[t].data();
        const char* end = begin + texts[t].size();
        while (begin < end && *begin == ' ')
            ++begin;
        while (end > begin && end[-1] == ' ')
            --end;
        row.length[t] = quint8(end - begin);
        m_text.append(begin, end - begin);
    }
    if (IsInDateRange(offenseDate)) {
        const QDate d = DatePart(offenseDate);
        int year = 0, month = 0, day = 0;
        d.getDate(&year, &month, &day); // one calendar conversion, not three
        row.day = quint32(year * 10000 + month * 100 + day);
    }
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

void CitationRows::append(const CitationRows& more)
{
    const qint64 shift = m_text.size();
    m_text.append(more.m_text);
    more.m_rows.forEach([&](Packed row) {
        row.text += shift;
        m_rows.push_back(row);
    });
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

// Reads records first..last into rows; false when one could not be read.
bool readRange(CitationFileView& view, int first, int last, const SearchSettings* search, CitationRows& rows,
               CitationNumberIndex* numbers)
{
    std::optional<RecordMatcher> matcher;
    if (search)
        matcher.emplace(search->phrase, search->scope, search->ignoreCase == 1, search->wholeWord == 1);
    // The numbers go to the index a few dozen at a time, copied out of the
    // view, whose bytes last only until the next record is read.
    const FieldSpec& number = CitationLayout::field(CitationField::CitationNumber);
    constexpr int Batch = 64;
    char numberBytes[Batch][32];
    QByteArrayView numberTexts[Batch];
    int numberRecords[Batch];
    int pending = 0;
    const auto flush = [&] {
        if (numbers && pending > 0)
            numbers->fill(numberRecords, numberTexts, pending);
        pending = 0;
    };
    static_assert(sizeof numberBytes[0] >= 12);
    const int width = qMin(number.width, int(sizeof numberBytes[0]));
    for (int n = first; n <= last; ++n) {
        const char* record = view.record(n);
        if (!record) {
            flush();
            return false;
        }
        if (numbers) {
            std::memcpy(numberBytes[pending], record + number.offset, size_t(width));
            numberTexts[pending] = QByteArrayView(numberBytes[pending], width);
            numberRecords[pending] = n;
            if (++pending == Batch)
                flush();
        }
        if (!matcher || matcher->matches(record))
            rows.append(record, n, search != nullptr);
    }
    flush();
    return true;
}

} // namespace

CitationRows LoadCitationRows(const QString& fileName, const SearchSettings* search, FileError& error, int splitFrom,
                              qint64* fileLength, CitationNumberIndex* numbers)
{
    error.clear();
    CitationRows rows;
    if (search)
        numbers = nullptr; // a sub-list does not hold every record
    const CitationNumberIndex::Stamp before = numbers ? numbers->stampNow() : CitationNumberIndex::Stamp();
    CitationFileView view(fileName);
    if (fileLength)
        *fileLength = 0;
    if (!view.open()) {
        error = view.lastError();
        if (numbers)
            numbers->invalidate();
        return rows;
    }
    if (fileLength)
        *fileLength = view.size();
    const int count = view.count();
    if (numbers)
        numbers->beginFill(count);
    // A second thread pays for itself on a large file; each reads its own
    // half through its own view, and the halves are joined in record order.
    CitationFileView second(fileName);
    const bool split = count >= qMax(2, splitFrom) && std::thread::hardware_concurrency() >= 2 && second.open()
        && second.count() >= count;
    const int firstLast = split ? count / 2 : count;
    rows.reserve(search ? 0 : firstLast, search ? 0 : qsizetype(firstLast) * 48);
    if (!split) {
        const bool read = readRange(view, 1, count, search, rows, numbers);
        if (!read)
            error = view.lastError();
        if (numbers)
            numbers->endFill(before, count, read);
        return rows;
    }
    CitationRows tail;
    tail.reserve(search ? 0 : count - firstLast, search ? 0 : qsizetype(count - firstLast) * 48);
    bool tailRead = true;
    std::thread worker([&] { tailRead = readRange(second, firstLast + 1, count, search, tail, numbers); });
    const bool headRead = readRange(view, 1, firstLast, search, rows, numbers);
    worker.join();
    if (numbers)
        numbers->endFill(before, count, headRead && tailRead);
    if (!headRead) {
        error = view.lastError(); // nothing after the failing record counts
        return rows;
    }
    rows.append(tail);
    if (!tailRead)
        error = second.lastError();
    return rows;
}

// ---- The model