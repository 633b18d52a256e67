#include "store/UserRecord.h"

#include "store/AnsiText.h"

#include <QtEndian>
#include <cstring>

namespace UserLayout {

const std::array<UserFieldSpec, size_t(UserField::Count)>& fields()
{
    static const std::array<UserFieldSpec, size_t(UserField::Count)> table = {{
        {UserField::DateCreated, "DateCreated", 0, 8},
        {UserField::FirstName, "FirstName", 8, 15},
        {UserField::LastName, "LastName", 23, 20},
        {UserField::Password, "Password", 43, 16},
        {UserField::AccessLevel, "AccessLevel", 59, 2},
        {UserField::Comments, "Comments", 61, 439},
    }};
    return table;
}

const UserFieldSpec& field(UserField id) { return fields()[size_t(id)]; }

} // namespace UserLayout

namespace {
bool isText(UserField f) { return f != UserField::DateCreated && f != UserField::AccessLevel; }
} // namespace

UserRecord::UserRecord() : m_bytes(UserLayout::RecordLength, '\0')
{
    for (const UserFieldSpec& s : UserLayout::fields())
        if (isText(s.id))
            std::memset(m_bytes.data() + s.offset, ' ', size_t(s.width));
}

UserRecord UserRecord::fromBytes(const char* data, qsizetype length)
{
    UserRecord r;
    std::memcpy(r.m_bytes.data(), data, size_t(qBound(qsizetype(0), length, qsizetype(UserLayout::RecordLength))));
    return r;
}

QString UserRecord::text(UserField f) const
{
    const UserFieldSpec& s = UserLayout::field(f);
    return Ansi::readField(m_bytes.constData() + s.offset, s.width);
}

bool UserRecord::setText(UserField f, const QString& value)
{
    const UserFieldSpec& s = UserLayout::field(f);
    return Ansi::writeField(m_bytes.data() + s.offset, s.width, value);
}

qint16 UserRecord::AccessLevel() const
{
    return qFromLittleEndian<qint16>(m_bytes.constData() + UserLayout::field(UserField::AccessLevel).offset);
}

void UserRecord::setAccessLevel(qint16 level)
{
    qToLittleEndian<qint16>(level, m_bytes.data() + UserLayout::field(UserField::AccessLevel).offset);
}

DateValue UserRecord::DateCreated() const
{
    return qFromLittleEndian<double>(m_bytes.constData() + UserLayout::field(UserField::DateCreated).offset);
}

void UserRecord::setDateCreated(DateValue value)
{
    qToLittleEndian<double>(value, m_bytes.data() + UserLayout::field(UserField::DateCreated).offset);
}

QString DisplayName(const UserRecord& user) { return user.FirstName() + u' ' + user.LastName(); }

QString NameSortKey(const UserRecord& user) { return user.LastName() + u' ' + user.FirstName(); }
