#include "users/UserMessages.h"

#include "platform/Messages.h"

void ShowFileError(const FileError& error)
{
    MsgBox(error.message() + u'.', Msg::OKOnly | Msg::Exclamation, QStringLiteral("File Error"));
}
