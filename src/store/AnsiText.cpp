#include "store/AnsiText.h"

#include <cstring>

namespace Ansi {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes the code page leaves unused
// map to the C1 control characters of the same number, as Windows does, so
// every byte reads back to the byte it was.
constexpr char16_t HighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

int byteFor(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (HighTable[i] == c)
            return 0x80 + i;
    return -1;
}

} // namespace

int firstUnencodable(const QString& text)
{
    for (int i = 0; i < text.size(); ++i)
        if (byteFor(text.at(i).unicode()) < 0)
            return i;
    return -1;
}

QByteArray encode(const QString& text, bool* ok)
{
    QByteArray out;
    out.resize(text.size());
    bool allEncoded = true;
    for (int i = 0; i < text.size(); ++i) {
        const int b = byteFor(text.at(i).unicode());
        if (b < 0)
            allEncoded = false;
        out[i] = char(b < 0 ? '?' : b);
    }
    if (ok)
        *ok = allEncoded;
    return out;
}

QString decode(const char* bytes, int length)
{
    QString out;
    out.resize(length);
    for (int i = 0; i < length; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = QChar(b >= 0x80 && b < 0xA0 ? HighTable[b - 0x80] : char16_t(b));
    }
    return out;
}

QString trimSpaces(const QString& text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from) == u' ')
        ++from;
    while (to > from && text.at(to - 1) == u' ')
        --to;
    return text.mid(from, to - from);
}

bool writeField(char* dest, int width, const QString& text)
{
    bool ok = true;
    const QByteArray bytes = encode(text.left(width), &ok);
    std::memset(dest, ' ', size_t(width));
    std::memcpy(dest, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), width)));
    return ok;
}

QString readField(const char* src, int width)
{
    // Trimming the bytes first avoids building the padded text at all. Long
    // fields (the notes) are mostly padding, so the end is skipped eight
    // spaces at a time.
    constexpr quint64 EightSpaces = 0x2020202020202020ULL;
    int from = 0;
    int to = width;
    while (from < to && src[from] == ' ')
        ++from;
    while (to - from >= 8) {
        quint64 word;
        std::memcpy(&word, src + to - 8, 8);
        if (word != EightSpaces)
            break;
        to -= 8;
    }
    while (to > from && src[to - 1] == ' ')
        --to;
    return decode(src + from, to - from);
}

} // namespace Ansi

namespace AnsiFold {
namespace {

struct Tables {
    unsigned char fold[256];
    unsigned char rank[256];
    bool word[256];
    char16_t folded[256];

    Tables()
    {
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QChar ch = Ansi::decode(&c, 1).at(0);
            folded[b] = ch.toCaseFolded().unicode();
            word[b] = ch.isLetter() || ch.isDigit();
        }
        for (int b = 0; b < 256; ++b) {
            int lowest = 0;
            while (folded[lowest] != folded[b])
                ++lowest;
            fold[b] = (unsigned char)lowest;
        }
        for (int b = 0; b < 256; ++b) {
            int below = 0; // distinct folded characters with a lower code
            for (int o = 0; o < 256; ++o)
                below += (fold[o] == o && folded[o] < folded[b]) ? 1 : 0;
            rank[b] = (unsigned char)(below + 1);
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

} // namespace

const unsigned char* foldTable() { return tables().fold; }
const unsigned char* rankTable() { return tables().rank; }
const bool* wordTable() { return tables().word; }

int foldedByteOf(QChar c)
{
    const char16_t f = c.toCaseFolded().unicode();
    const Tables& t = tables();
    for (int b = 0; b < 256; ++b)
        if (t.folded[b] == f)
            return t.fold[b];
    return -1;
}

} // namespace AnsiFold
