#include "AsNobody.h"

#include <QDir>
#include <QFile>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

int NobodyUid()
{
    const passwd* pw = ::getpwnam("nobody");
    return pw ? int(pw->pw_uid) : -1;
}

int RunAsNobody(const std::function<int()>& body)
{
    const passwd* pw = ::getpwnam("nobody");
    if (!pw)
        return -1;
    const uid_t uid = pw->pw_uid;
    const gid_t gid = pw->pw_gid;
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0 || ::geteuid() == 0)
            ::_exit(254);
        ::_exit(body() & 0xff);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 254)
        return -1;
    return WEXITSTATUS(status);
}

void OpenFolderToOthers(const QString& path)
{
    QDir dir(path);
    while (true) {
        const QByteArray name = QFile::encodeName(dir.absolutePath());
        struct stat st;
        if (::stat(name.constData(), &st) == 0)
            ::chmod(name.constData(), (st.st_mode & 07777) | S_IXOTH);
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
}
