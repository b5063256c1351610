#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "config/PasswordKeeper.h"

using namespace quindra;

namespace {

// A real gnome-keyring-daemon on a session bus of the test's own, with a
// "login" keyring made and unlocked in a private home: the keeper talks to
// it as it would to a desktop's keyring.
class PrivateKeyring : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        home = std::make_unique<QTemporaryDir>();
        const QByteArray path = QFile::encodeName(home->path());
        ::setenv("HOME", path.constData(), 1);
        ::setenv("XDG_DATA_HOME", (path + "/data").constData(), 1);
        ::setenv("XDG_RUNTIME_DIR", path.constData(), 1);
        ::unsetenv("DISPLAY");

        // No service is started on demand: the keyring is the one started
        // here, or none.
        const QString config = home->filePath(QStringLiteral("bus.conf"));
        QFile conf(config);
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(
            "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
            "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
            "busconfig.dtd\">\n"
            "<busconfig><type>session</type>"
            "<listen>unix:tmpdir=" +
            path +
            "</listen><policy context=\"default\"><allow send_destination=\"*\" "
            "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
            "</policy></busconfig>\n");
        conf.close();
        bus = start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")});
        ASSERT_TRUE(bus->waitForReadyRead(10000));
        const QByteArray address = bus->readLine().trimmed();
        ASSERT_FALSE(address.isEmpty());
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.constData(), 1);

        // --unlock reads the new keyring's password from standard input.
        keyring = start(QStringLiteral("gnome-keyring-daemon"),
                        {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                         QStringLiteral("--components=secrets")});
        keyring->write("segredo-do-chaveiro");
        keyring->waitForBytesWritten(5000);
        keyring->closeWriteChannel();
        bool owned = false;
        for (int i = 0; i < 100 && !owned; ++i) {
            QProcess ask;
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"),
                       QStringLiteral("/org/freedesktop/DBus"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.secrets")});
            ask.waitForFinished(5000);
            owned = ask.readAllStandardOutput().contains("boolean true");
            if (!owned)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_TRUE(owned) << "the keyring did not come up on the private bus";
    }
    static void TearDownTestSuite() {
        keyring.reset();
        bus.reset();
        home.reset();
    }

    static std::unique_ptr<QProcess> start(const QString& program, const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        p->start(program, args);
        EXPECT_TRUE(p->waitForStarted(10000)) << program.toStdString();
        return p;
    }

    static inline std::unique_ptr<QTemporaryDir> home;
    static inline std::unique_ptr<QProcess> bus;
    static inline std::unique_ptr<QProcess> keyring;
};

TEST_F(PrivateKeyring, KeepsReplacesAndTakesAwayThePassword) {
    SecretServiceKeeper keeper;
    EXPECT_EQ(keeper.read(), QString());
    ASSERT_TRUE(keeper.write(QStringLiteral("s3nh@ çá")));
    EXPECT_EQ(keeper.read(), QStringLiteral("s3nh@ çá"));
    ASSERT_TRUE(keeper.write(QStringLiteral("outra")));
    EXPECT_EQ(keeper.read(), QStringLiteral("outra"));
    // A second program (the next start) finds it.
    EXPECT_EQ(SecretServiceKeeper().read(), QStringLiteral("outra"));
    ASSERT_TRUE(keeper.write(QString()));
    EXPECT_EQ(keeper.read(), QString());
}

// Without the service on the bus the keeper says it does not answer, and
// refuses to keep anything.
TEST_F(PrivateKeyring, NoServiceNoAnswer) {
    ASSERT_TRUE(SecretServiceKeeper().read().has_value());
    keyring->terminate();
    ASSERT_TRUE(keyring->waitForFinished(10000));
    SecretServiceKeeper keeper;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(keeper.read(), std::nullopt);
    EXPECT_FALSE(keeper.write(QStringLiteral("s3nh@")));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

}  // namespace
