#include "storage/Storage.h"

#include "storage/FolderStorage.h"

namespace {

std::unique_ptr<Storage>& current()
{
    static std::unique_ptr<Storage> s;
    return s;
}

std::function<void(bool)>& waitIndicator()
{
    static std::function<void(bool)> indicator;
    return indicator;
}

} // namespace

Storage& storage()
{
    std::unique_ptr<Storage>& s = current();
    if (!s)
        s = std::make_unique<FolderStorage>();
    return *s;
}

void setStorage(std::unique_ptr<Storage> replacement) { current() = std::move(replacement); }

bool CitationStore::forKeys(const QList<CitationKey>& keys,
                            const std::function<bool(CitationKey key, const char* record)>& visit, FileError& error)
{
    CitationRecord record;
    for (CitationKey key : keys) {
        if (!read(key, record, error))
            return false;
        if (!visit(key, record.bytes().constData()))
            break;
    }
    return true;
}

bool UserStore::read(UserKey key, UserRecord& user, FileError& error)
{
    QList<StoredUser> users;
    if (!list(users, error))
        return false;
    for (const StoredUser& stored : users)
        if (stored.key == key) {
            user = stored.record;
            return true;
        }
    error = {QString(), QString(), QStringLiteral("The user is no longer on the 'User List'.")};
    return false;
}

CitationSource SourceOf(CitationStore& store)
{
    return [&store](const QList<int>& keys, const CitationVisit& visit, FileError& error) {
        return store.forKeys(keys, visit, error);
    };
}

void setStoreWaitIndicator(std::function<void(bool waiting)> indicator) { waitIndicator() = std::move(indicator); }

StoreWait::StoreWait() : m_told(bool(waitIndicator()))
{
    if (m_told)
        waitIndicator()(true);
}

StoreWait::~StoreWait()
{
    if (m_told && waitIndicator())
        waitIndicator()(false);
}
