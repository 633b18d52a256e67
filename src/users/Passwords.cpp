#include "users/Passwords.h"

#include "session/Utilities.h"
#include "store/AnsiText.h"

namespace {
bool isDigitOrLetter(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
} // namespace

bool IsValidPassword(const QString& password)
{
    const QString p = Ansi::trimSpaces(password);
    if (p.size() < 4 || p.size() > 8)
        return false;
    for (const QChar c : p)
        if (!isDigitOrLetter(c.unicode()))
            return false;
    return true;
}

QString ScramblePassword(const QString& password)
{
    const QString p = Ansi::trimSpaces(password);
    QString out;
    out.reserve(p.size() * 2);
    for (const QChar c : p) {
        char16_t filler = 0;
        do
            filler = char16_t(RandomInteger('0', 'z'));
        while (!isDigitOrLetter(filler));
        out += QChar(filler);
        out += c;
    }
    return out;
}

QString UnscramblePassword(const QString& stored)
{
    const QString s = Ansi::trimSpaces(stored);
    QString out;
    for (qsizetype i = 1; i < s.size(); i += 2)
        out += s.at(i);
    return out;
}
