#pragma once

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <stdexcept>
#include <string>

namespace quindra::testing {

// Runs a command; throws with its output when it fails.
inline void runCommand(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(
            (program + QLatin1Char(' ') + args.join(QLatin1Char(' '))).toStdString() + ": " +
            p.readAll().toStdString());
}

// A test certificate authority and server certificates signed by it, made
// with openssl in a folder of their own.
class TestAuthority {
public:
    TestAuthority() {
        runCommand(QStringLiteral("openssl"),
                   {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), path(QStringLiteral("ca.key")),
                    QStringLiteral("-out"), caFile(), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-subj"), QStringLiteral("/CN=Quindra Teste CA")});
    }

    QString caFile() const { return path(QStringLiteral("ca.pem")); }

    // A server certificate for the given names ("DNS:localhost,IP:127.0.0.1");
    // returns the certificate's file, the key beside it as NAME.key.
    QString issue(const QString& name, const QString& altNames) {
        const QString key = path(name + QStringLiteral(".key"));
        const QString csr = path(name + QStringLiteral(".csr"));
        const QString cert = path(name + QStringLiteral(".pem"));
        const QString ext = path(name + QStringLiteral(".ext"));
        QFile f(ext);
        f.open(QIODevice::WriteOnly);
        f.write(("subjectAltName=" + altNames + "\n").toUtf8());
        f.close();
        runCommand(
            QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
             QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
             QStringLiteral("-nodes"), QStringLiteral("-keyout"), key, QStringLiteral("-out"), csr,
             QStringLiteral("-subj"), QStringLiteral("/CN=") + name});
        runCommand(QStringLiteral("openssl"),
                   {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), csr,
                    QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"),
                    path(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"),
                    QStringLiteral("-out"), cert, QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-extfile"), ext});
        return cert;
    }

private:
    QString path(const QString& file) const { return dir_.filePath(file); }
    QTemporaryDir dir_;
};

// The loopback mail server of tests/mail/smtp_server.py, run with the
// system's Python (where Debian's aiosmtpd lives) and stopped with its owner.
class MailServerProcess {
public:
    struct Options {
        QString mode = QStringLiteral("plain");  // plain, starttls or tls
        QString cert;                            // the key is beside it, .pem -> .key
        QString user = QStringLiteral("quindra");
        QString password = QStringLiteral("segredo");
        int holdDataSeconds = 0;
        bool closeOnData = false;
        bool tls10Only = false;
    };

    MailServerProcess(const QString& script, const Options& o) {
        QStringList args{script,
                         QStringLiteral("--mode"),
                         o.mode,
                         QStringLiteral("--mailbox"),
                         mailbox_.path(),
                         QStringLiteral("--user"),
                         o.user,
                         QStringLiteral("--password"),
                         o.password,
                         QStringLiteral("--hold-data"),
                         QString::number(o.holdDataSeconds)};
        if (o.closeOnData)
            args << QStringLiteral("--close-on-data");
        if (o.tls10Only)
            args << QStringLiteral("--tls-1.0-only");
        if (!o.cert.isEmpty()) {
            QString key = o.cert;
            key.replace(QStringLiteral(".pem"), QStringLiteral(".key"));
            args << QStringLiteral("--cert") << o.cert << QStringLiteral("--key") << key;
        }
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The server ends with the test, even when the test dies.
        process_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        process_.start(QStringLiteral("/usr/bin/python3"), args);
        if (!process_.waitForStarted(10000))
            throw std::runtime_error("the mail server did not start");
        while (!process_.canReadLine()) {
            if (!process_.waitForReadyRead(20000))
                throw std::runtime_error("the mail server did not say its port");
        }
        port_ = process_.readLine().trimmed().toInt();
    }
    ~MailServerProcess() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    int port() const { return port_; }
    QString mailbox() const { return mailbox_.path(); }

    // The n-th accepted message (1-based), or an empty array when it is not
    // there within the wait.
    QByteArray message(int n, int waitMs = 5000) const {
        QFile f(QDir(mailbox_.path()).filePath(QStringLiteral("%1.eml").arg(n)));
        for (int waited = 0; !f.exists() && waited < waitMs; waited += 20)
            ::usleep(20000);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return f.readAll();
    }
    QString envelope(int n) const {
        QFile f(QDir(mailbox_.path()).filePath(QStringLiteral("%1.env").arg(n)));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }

private:
    QTemporaryDir mailbox_;
    QProcess process_;
    int port_ = 0;
};

}  // namespace quindra::testing
