#pragma once
// One user of the user list as it lies in "User.List": 500 bytes, fields at
// fixed offsets, little-endian, Windows-1252 text padded with blanks.
#include "store/DateValue.h"

#include <QByteArray>
#include <QString>
#include <array>

enum class UserField { DateCreated, FirstName, LastName, Password, AccessLevel, Comments, Count };

struct UserFieldSpec {
    UserField id;
    const char* name;
    int offset;
    int width;
};

namespace UserLayout {
constexpr int RecordLength = 500;
const UserFieldSpec& field(UserField id);
const std::array<UserFieldSpec, size_t(UserField::Count)>& fields();
} // namespace UserLayout

class UserRecord {
public:
    // An empty record: texts blank, level and date 0.
    UserRecord();
    // Takes up to RecordLength bytes; missing bytes read as an empty record's.
    static UserRecord fromBytes(const char* data, qsizetype length);

    const QByteArray& bytes() const { return m_bytes; }

    // Texts read trimmed of blanks at both ends (line breaks stay). Setters pad
    // or cut to the field width and return false (storing '?' for them) when
    // the text holds characters Windows-1252 cannot hold.
    QString FirstName() const { return text(UserField::FirstName); }
    bool setFirstName(const QString& v) { return setText(UserField::FirstName, v); }
    QString LastName() const { return text(UserField::LastName); }
    bool setLastName(const QString& v) { return setText(UserField::LastName, v); }
    // The scrambled password.
    QString Password() const { return text(UserField::Password); }
    bool setPassword(const QString& v) { return setText(UserField::Password, v); }
    QString Comments() const { return text(UserField::Comments); }
    bool setComments(const QString& v) { return setText(UserField::Comments, v); }

    qint16 AccessLevel() const;
    void setAccessLevel(qint16 level);
    DateValue DateCreated() const;
    void setDateCreated(DateValue value);

    bool operator==(const UserRecord& other) const { return m_bytes == other.m_bytes; }

private:
    QString text(UserField f) const;
    bool setText(UserField f, const QString& value);

    QByteArray m_bytes;
};

// "First Last": the grid's name, the log's name and the current user's name.
QString DisplayName(const UserRecord& user);
// "Last First": the key the grid is sorted by and a saved user is found by.
QString NameSortKey(const UserRecord& user);
