#pragma once
// The user list "User.List": UserRecords back to back with no header, record
// n (from 1) at byte (n - 1) * 500, in the order they were added. No file is
// the normal state of an empty list. The list is opened for one operation and
// closed again; records pass through one shared buffer.
#include "store/FileError.h"
#include "store/UserRecord.h"

// Opens the list (closing it first if it is still open), creating an empty
// file when there is none, and counts its records.
bool OpenUserList();
// Closes the list; harmless when it is not open.
void CloseUserList();
// The number of records at the last open.
int UserCount();
// Reads record n (1..UserCount) into the shared buffer.
bool ReadUser(int n);
// Writes the shared buffer as record n; n = UserCount + 1 appends. A failed
// write leaves the file as it was.
bool WriteUser(int n);
// Removes record n by its position and closes the list. The other records
// are rewritten through the work file, renamed over the list in one step;
// when none remains the list's file is removed. On failure the list is as it
// was.
bool RemoveUser(int n);

// The record read last or about to be written.
UserRecord& UserBuffer();
// What went wrong in the last failed operation (names the file).
const FileError& UserListError();
// Whether "User.List" exists in the data folder.
bool UserListExists();
