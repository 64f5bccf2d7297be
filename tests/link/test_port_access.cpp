// A device file the user may not open: the log line names the device, its group and the
// command that grants access. Root may open anything, so each check runs in a child
// process that has become the unprivileged user nobody.
#include "lang/texts.h"
#include "link/port_access.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quenda;

namespace {

constexpr uid_t kNobody = 65534;

// PortAccessAdvice(path) as seen by nobody; "!" when the child could not run.
QString adviceAsNobody(const QString& path) {
    int fds[2];
    if (pipe(fds) != 0) return QStringLiteral("!");
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
        const QByteArray text = PortAccessAdvice(path).toUtf8();
        _exit(write(fds[1], text.constData(), size_t(text.size())) == text.size() ? 0 : 4);
    }
    close(fds[1]);
    QByteArray out;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, n);
    close(fds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("!");
    return QString::fromUtf8(out);
}

// A stand-in device file with the given owner group and mode.
QString device(const QTemporaryDir& dir, const char* name, gid_t group, mode_t mode) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    f.close();
    const QByteArray p = QFile::encodeName(path);
    if (chown(p.constData(), 0, group) != 0 || chmod(p.constData(), mode) != 0) return QString();
    return path;
}

} // namespace

class TestPortAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        LoadLanguage(LanguageChoice::English);
        if (geteuid() != 0) QSKIP("staging a device owned by another user needs root");
    }

    void deniedDeviceNamesTheFix() {
        const group* dialout = getgrnam("dialout");
        QVERIFY(dialout);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);

        const QString tty = device(dir, "ttyUSB0", dialout->gr_gid, 0660);
        QVERIFY(!tty.isEmpty());
        const QString advice = adviceAsNobody(tty);
        QVERIFY2(advice.contains(tty), qPrintable(advice));
        QVERIFY2(advice.contains(QLatin1String("group dialout")), qPrintable(advice));
        QVERIFY2(advice.contains(QLatin1String("sudo usermod -aG dialout $USER")), qPrintable(advice));
        QVERIFY(!advice.contains(QLatin1Char('\n')));

        // No group may use it: joining one would not help, so no command is offered.
        const QString privateDevice = device(dir, "ttyACM0", dialout->gr_gid, 0600);
        const QString closed = adviceAsNobody(privateDevice);
        QVERIFY2(closed.contains(privateDevice), qPrintable(closed));
        QVERIFY2(!closed.contains(QLatin1String("usermod")), qPrintable(closed));
    }

    void otherFailuresAddNothing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString open = device(dir, "rfcomm0", 0, 0666);
        QVERIFY(!open.isEmpty());
        QCOMPARE(adviceAsNobody(open), QString());
        QCOMPARE(adviceAsNobody(dir.filePath(QStringLiteral("ttyUSB9"))), QString());
        QCOMPARE(adviceAsNobody(QStringLiteral("COM5")), QString());
        QCOMPARE(adviceAsNobody(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestPortAccess)
#include "test_port_access.moc"
