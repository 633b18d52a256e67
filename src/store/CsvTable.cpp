#include "store/CsvTable.h"

#include "store/AnsiText.h"
#include "store/FileIo.h"

#include <QFileInfo>

namespace CsvTable {
namespace {

const QByteArray ByteOrderMark("\xEF\xBB\xBF", 3);

// The bytes that end a run of plain text in a cell.
bool isSpecial(char c) { return c == ',' || c == '"' || c == '\r' || c == '\n' || c == '\0'; }

class Parser {
public:
    explicit Parser(Table& table) : m_table(table) {}

    bool feed(QByteArrayView bytes, QString& error)
    {
        const char* p = bytes.data();
        const char* const end = p + bytes.size();
        while (p < end) {
            // Runs of ordinary bytes inside a cell go in at once.
            if ((m_state == State::Plain || m_state == State::Quoted) && !isSpecial(*p)) {
                const char* q = p;
                while (q < end && !isSpecial(*q))
                    ++q;
                if (!count(q - p, error))
                    return false;
                m_table.text.append(p, q - p);
                m_afterReturn = false;
                p = q;
                continue;
            }
            if (!step(*p++, error))
                return false;
        }
        return true;
    }

    bool finish(QString& error)
    {
        if (m_state == State::Quoted) {
            error = QStringLiteral("the quoted cell that begins on line %1 is never closed").arg(m_cellLine);
            return false;
        }
        if (m_state != State::CellStart || cellsInRow() > 0)
            endRow();
        return true;
    }

private:
    enum class State { CellStart, Plain, Quoted, QuoteInQuoted };

    bool count(qint64 bytes, QString& error)
    {
        m_rowBytes += bytes;
        if (m_rowBytes <= MaxRowBytes)
            return true;
        error = m_state == State::Quoted
            ? QStringLiteral("the quoted cell that begins on line %1 runs on for more than %2 MB: its closing quote "
                             "is missing")
                  .arg(m_cellLine)
                  .arg(MaxRowBytes >> 20)
            : QStringLiteral("the row that begins on line %1 is longer than %2 MB, far longer than any citation")
                  .arg(m_rowLine)
                  .arg(MaxRowBytes >> 20);
        return false;
    }

    bool step(char c, QString& error)
    {
        if (c == '\0') {
            error = QStringLiteral("line %1 holds a NUL byte, which no text file holds").arg(m_line);
            return false;
        }
        if (!count(1, error))
            return false;
        const bool lineFeedAfterReturn = m_afterReturn && c == '\n';
        m_afterReturn = c == '\r';
        if ((c == '\n' || c == '\r') && !lineFeedAfterReturn)
            ++m_line;
        // The LF of a CR LF that has ended a row.
        if (lineFeedAfterReturn && m_state == State::CellStart && cellsInRow() == 0 && cellIsEmpty())
            return true;
        switch (m_state) {
        case State::CellStart:
            if (c == '"') {
                m_state = State::Quoted;
                m_quoted = true;
                m_cellLine = m_line;
                return true;
            }
            m_state = State::Plain;
            [[fallthrough]];
        case State::Plain:
            if (c == ',')
                endCell();
            else if (c == '\r' || c == '\n')
                endRow();
            else
                m_table.text.append(c);
            return true;
        case State::Quoted:
            if (c == '"')
                m_state = State::QuoteInQuoted;
            else
                m_table.text.append(c);
            return true;
        case State::QuoteInQuoted:
            if (c == '"') {
                m_table.text.append(c);
                m_state = State::Quoted;
            } else if (c == ',') {
                endCell();
            } else if (c == '\r' || c == '\n') {
                endRow();
            } else {
                error = QStringLiteral("on line %1 a quoted cell is followed by other text before the next comma")
                            .arg(m_line);
                return false;
            }
            return true;
        }
        return true;
    }

    qsizetype cellsInRow() const
    {
        return m_table.cellEnds.size() - (m_table.rowEnds.isEmpty() ? 0 : m_table.rowEnds.last());
    }
    bool cellIsEmpty() const
    {
        return m_table.text.size() == (m_table.cellEnds.isEmpty() ? 0 : m_table.cellEnds.last());
    }

    void endCell()
    {
        m_table.cellEnds.append(m_table.text.size());
        m_state = State::CellStart;
        m_quoted = false;
    }

    void endRow()
    {
        // A line with nothing on it is no row.
        const bool blank = cellsInRow() == 0 && cellIsEmpty() && !m_quoted;
        if (blank) {
            m_state = State::CellStart;
        } else {
            endCell();
            m_table.rowEnds.append(m_table.cellEnds.size());
            m_table.lines.append(m_rowLine);
        }
        m_rowBytes = 0;
        m_rowLine = m_line;
    }

    Table& m_table;
    State m_state = State::CellStart;
    bool m_quoted = false;
    bool m_afterReturn = false;
    qint64 m_rowBytes = 0;
    qint64 m_line = 1;
    qint64 m_rowLine = 1;
    qint64 m_cellLine = 1;
};

// UTF-8 when the file says so by its byte-order mark or when all of it is
// valid UTF-8, else Windows-1252 (what older spreadsheets and handheld
// devices write).
void decideEncoding(Table& table, bool byteOrderMark)
{
    table.utf8 = byteOrderMark || QByteArrayView(table.text).isValidUtf8();
}

} // namespace

QStringList Table::row(qsizetype i) const
{
    QStringList cells;
    if (i < 0 || i >= rowEnds.size())
        return cells;
    const qsizetype first = i == 0 ? 0 : rowEnds[i - 1];
    cells.reserve(rowEnds[i] - first);
    for (qsizetype c = first; c < rowEnds[i]; ++c) {
        const qsizetype from = c == 0 ? 0 : cellEnds[c - 1];
        const char* bytes = text.constData() + from;
        const qsizetype length = cellEnds[c] - from;
        cells.append(utf8 ? QString::fromUtf8(bytes, length) : Ansi::decode(bytes, int(length)));
    }
    return cells;
}

bool parse(QByteArrayView bytes, Table& table, QString& error)
{
    table = Table();
    if (bytes.size() > MaxFileBytes) {
        error = QStringLiteral("it is larger than %1 GB").arg(MaxFileBytes >> 30);
        return false;
    }
    const bool mark = bytes.startsWith(ByteOrderMark);
    if (mark)
        bytes = bytes.sliced(ByteOrderMark.size());
    Parser parser(table);
    if (!parser.feed(bytes, error) || !parser.finish(error))
        return false;
    decideEncoding(table, mark);
    return true;
}

bool read(const QString& path, Table& table, QString& error, const Progress& progress)
{
    table = Table();
    const QString name = QFileInfo(path).fileName();
    auto fail = [&](const QString& why) {
        error = QStringLiteral("The file \"%1\" could not be read: %2.").arg(name, why);
        return false;
    };
    FileIo::File file;
    QString what;
    if (!file.open(path, FileIo::File::ReadOnly, what)) {
        error = QStringLiteral("The file \"%1\" %2.").arg(name, what);
        return false;
    }
    const qint64 size = file.size();
    if (size < 0)
        return fail(file.reason());
    if (size > MaxFileBytes)
        return fail(QStringLiteral("it is larger than %1 GB").arg(MaxFileBytes >> 30));
    table.text.reserve(qMin<qint64>(size, qint64(256) << 20));
    Parser parser(table);
    constexpr qint64 Block = 4 << 20;
    QByteArray block(Block, Qt::Uninitialized);
    qint64 at = 0;
    bool mark = false;
    while (true) {
        if (progress && !progress(at, size)) {
            error.clear();
            return false;
        }
        const qint64 got = file.readAt(at, block.data(), Block);
        if (got < 0)
            return fail(file.reason());
        if (got == 0)
            break;
        QByteArrayView bytes(block.constData(), got);
        if (at == 0 && bytes.startsWith(ByteOrderMark)) {
            mark = true;
            bytes = bytes.sliced(ByteOrderMark.size());
        }
        at += got;
        if (at > MaxFileBytes)
            return fail(QStringLiteral("it is larger than %1 GB").arg(MaxFileBytes >> 30));
        QString why;
        if (!parser.feed(bytes, why))
            return fail(why);
    }
    QString why;
    if (!parser.finish(why))
        return fail(why);
    decideEncoding(table, mark);
    return true;
}

} // namespace CsvTable
