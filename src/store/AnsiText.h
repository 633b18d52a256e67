#pragma once
// Single-byte Windows-1252 text as the data files hold it: fixed-width fields,
// left-aligned, padded with spaces on write, cut at the width, trimmed on read.
#include <QByteArray>
#include <QString>

namespace Ansi {

// Index of the first character Windows-1252 cannot hold, or -1 when all can.
int firstUnencodable(const QString& text);
inline bool canEncode(const QString& text) { return firstUnencodable(text) < 0; }

// Encodes text; a character Windows-1252 cannot hold becomes '?' and *ok is
// set to false so the caller can refuse the text instead of storing it.
QByteArray encode(const QString& text, bool* ok = nullptr);
QString decode(const char* bytes, int length);
inline QString decode(const QByteArray& bytes) { return decode(bytes.constData(), int(bytes.size())); }

// Removes spaces (only the space character) from both ends; line breaks stay.
QString trimSpaces(const QString& text);

// Writes text into dest[0..width): cut at width, padded with spaces.
// Returns false when some character could not be encoded.
bool writeField(char* dest, int width, const QString& text);
// Reads dest[0..width) and trims spaces at both ends.
QString readField(const char* src, int width);

} // namespace Ansi

// Case folding of Windows-1252 bytes, as QString::toCaseFolded() folds the
// characters they stand for, without decoding.
namespace AnsiFold {
// The byte that stands for a byte's folded character: the lowest byte whose
// character folds to the same one ("A" and "a" give "a").
const unsigned char* foldTable();
// 1.. for each byte, in the order of the folded characters' codes: comparing
// the ranks of two texts byte by byte compares their folded texts.
const unsigned char* rankTable();
// The byte whose character folds as c does, or -1 when no byte's does.
int foldedByteOf(QChar c);
// Whether a byte's character is a letter or a digit.
const bool* wordTable();
} // namespace AnsiFold
