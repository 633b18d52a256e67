#pragma once
// The box that tells the user a data file could not be used, naming the file
// and what failed.
#include "store/FileError.h"

void ShowFileError(const FileError& error);
