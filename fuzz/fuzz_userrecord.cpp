// Any bytes as a user record: decoding must not crash, and what a record
// shows must store and read back unchanged (the user dialog saves what it
// showed).
#include "FuzzInput.h"
#include "store/UserRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const UserRecord user = UserRecord::fromBytes(reinterpret_cast<const char*>(data), qsizetype(size));
    FUZZ_CHECK(user.bytes().size() == UserLayout::RecordLength, "record of %d bytes", int(user.bytes().size()));
    (void)DisplayName(user);
    (void)NameSortKey(user);

    UserRecord copy;
    FUZZ_CHECK(copy.setFirstName(user.FirstName()), "first name not storable");
    FUZZ_CHECK(copy.setLastName(user.LastName()), "last name not storable");
    FUZZ_CHECK(copy.setPassword(user.Password()), "password not storable");
    FUZZ_CHECK(copy.setComments(user.Comments()), "comments not storable");
    copy.setAccessLevel(user.AccessLevel());
    copy.setDateCreated(user.DateCreated());
    FUZZ_CHECK(copy.FirstName() == user.FirstName(), "first name changed");
    FUZZ_CHECK(copy.LastName() == user.LastName(), "last name changed");
    FUZZ_CHECK(copy.Password() == user.Password(), "password changed");
    FUZZ_CHECK(copy.Comments() == user.Comments(), "comments changed");
    FUZZ_CHECK(copy.AccessLevel() == user.AccessLevel(), "level changed");
    return 0;
}
