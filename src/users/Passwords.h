#pragma once
// The password rule and the stored (scrambled) form of a password.
#include <QString>

// 4 to 8 characters, each a digit or an unaccented letter, once blanks at
// both ends are removed.
bool IsValidPassword(const QString& password);

// The stored form: blanks at both ends removed, then each character preceded
// by a random digit or letter. Saving the same password twice gives two
// different stored forms.
QString ScramblePassword(const QString& password);
// The password back from its stored form, capitals and small letters as typed.
QString UnscramblePassword(const QString& stored);
