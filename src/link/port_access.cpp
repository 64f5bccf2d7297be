#include "link/port_access.h"

#include "lang/texts.h"

#include <QFile>

#include <cerrno>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quenda {

namespace {

QString GroupName(gid_t gid) {
    std::vector<char> buf(16384);
    group g{};
    group* found = nullptr;
    if (getgrgid_r(gid, &g, buf.data(), buf.size(), &found) != 0 || !found) return QString();
    return QString::fromLocal8Bit(found->gr_name);
}

// Membership as the user database has it now; the running session may predate it.
bool UserListedInGroup(gid_t gid) {
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) != 0 || !found) return false;
    int n = 64;
    std::vector<gid_t> groups(static_cast<size_t>(n));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &n) < 0) {
        groups.resize(size_t(n));
        if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &n) < 0) return false;
    }
    for (int i = 0; i < n; ++i)
        if (groups[size_t(i)] == gid) return true;
    return false;
}

// Not among the device's message texts: the tool's own, in the interface language.
QString Text(const char* english, const char* german, const QStringList& args) {
    QString text = QString::fromUtf8(ActiveLanguage() == kGerman ? german : english);
    for (const QString& a : args)
        text = text.arg(a);
    return text;
}

} // namespace

QString PortAccessAdvice(const QString& portName) {
    const QByteArray path = QFile::encodeName(portName);
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0) return QString();
    if (::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES) return QString();

    constexpr mode_t groupReadWrite = S_IRGRP | S_IWGRP;
    const QString group = (st.st_mode & groupReadWrite) == groupReadWrite ? GroupName(st.st_gid) : QString();
    if (group.isEmpty())
        return Text("No permission to open %1: its owner must grant your user read and write access.",
                    "Keine Berechtigung für %1: Der Besitzer muss Ihrem Benutzer Lese- und Schreibrechte geben.",
                    {portName});
    if (UserListedInGroup(st.st_gid))
        return Text("No permission to open %1: your user was added to the group %2 after this session began. "
                    "Log out and in again.",
                    "Keine Berechtigung für %1: Ihr Benutzer wurde erst nach dem Anmelden in die Gruppe %2 "
                    "aufgenommen. Bitte ab- und wieder anmelden.",
                    {portName, group});
    return Text("No permission to open %1: your user is not in the group %2. "
                "Fix: sudo usermod -aG %2 $USER, then log out and in again.",
                "Keine Berechtigung für %1: Ihr Benutzer ist nicht in der Gruppe %2. "
                "Abhilfe: sudo usermod -aG %2 $USER, dann ab- und wieder anmelden.",
                {portName, group});
}

} // namespace quenda
