#include "UserFiles.h"

const QList<RecordField>& UserBytes500::layout()
{
    static const QList<RecordField> table = {
        {"DateCreated", 0, 8, 'd'}, {"FirstName", 8, 15, 't'},   {"LastName", 23, 20, 't'},
        {"Password", 43, 16, 't'},  {"AccessLevel", 59, 2, 'i'}, {"Comments", 61, 439, 't'},
    };
    return table;
}

UserBytes500 UserBytes500::user(const QByteArray& first, const QByteArray& last, const QByteArray& password,
                                qint16 accessLevel, const QDate& createdOn, char filler)
{
    QByteArray stored;
    for (char c : password)
        stored += QByteArray(1, filler) + c;
    UserBytes500 r;
    r.text("FirstName", first).text("LastName", last).text("Password", stored).level(accessLevel);
    r.created(createdOn, QTime(9, 30));
    return r;
}
