#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "config/Autostart.h"

namespace quindra {
namespace {

class ConfigAutostartFile : public ::testing::Test {
protected:
    QString desktopFile() const {
        return dir.filePath(QStringLiteral("autostart/quindra-espera.desktop"));
    }
    QStringList lines() const {
        QFile f(desktopFile());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    }

    QTemporaryDir dir;
};

// Exec holds the real executable, quoted for the desktop entry format: the
// quote rule escapes " ` $ \, the string rule escapes \ once more, and a
// literal % is doubled. TryExec names the same file as a plain string, so a
// session skips the entry once the program is gone.
TEST_F(ConfigAutostartFile, ExecQuotesTheExecutablePathAndTryExecNamesIt) {
    struct Case {
        QString executable;
        QString exec;
        QString tryExec;
    };
    const Case cases[] = {
        {QStringLiteral("/opt/quindra/quindra"), QStringLiteral("Exec=\"/opt/quindra/quindra\""),
         QStringLiteral("TryExec=/opt/quindra/quindra")},
        {QStringLiteral("/opt/Meu Programa/quindra"),
         QStringLiteral("Exec=\"/opt/Meu Programa/quindra\""),
         QStringLiteral("TryExec=/opt/Meu Programa/quindra")},
        {QStringLiteral("/opt/$HOME/quindra"), QStringLiteral("Exec=\"/opt/\\\\$HOME/quindra\""),
         QStringLiteral("TryExec=/opt/$HOME/quindra")},
        {QStringLiteral("/opt/a\"b`c/quindra"),
         QStringLiteral("Exec=\"/opt/a\\\\\"b\\\\`c/quindra\""),
         QStringLiteral("TryExec=/opt/a\"b`c/quindra")},
        {QStringLiteral("/opt/a\\b/quindra"), QStringLiteral("Exec=\"/opt/a\\\\\\\\b/quindra\""),
         QStringLiteral("TryExec=/opt/a\\\\b/quindra")},
        {QStringLiteral("/opt/100%/Telefônica/quindra"),
         QStringLiteral("Exec=\"/opt/100%%/Telefônica/quindra\""),
         QStringLiteral("TryExec=/opt/100%/Telefônica/quindra")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.executable.toStdString());
        XdgAutostartFile file(desktopFile(), c.executable);
        ASSERT_TRUE(file.set(true));

        const QStringList text = lines();
        ASSERT_FALSE(text.isEmpty());
        EXPECT_EQ(text.front(), QStringLiteral("[Desktop Entry]"));
        EXPECT_TRUE(text.contains(QStringLiteral("Type=Application")));
        EXPECT_EQ(text.filter(QRegularExpression(QStringLiteral("^Exec="))), QStringList{c.exec});
        EXPECT_EQ(text.filter(QRegularExpression(QStringLiteral("^TryExec="))),
                  QStringList{c.tryExec});
    }
}

TEST_F(ConfigAutostartFile, EmptyEntryRemovesTheFile) {
    XdgAutostartFile file(desktopFile(), QStringLiteral("/opt/quindra/quindra"));
    // Nothing to remove yet.
    EXPECT_TRUE(file.set(false));
    EXPECT_FALSE(QFile::exists(desktopFile()));

    ASSERT_TRUE(file.set(true));
    EXPECT_TRUE(QFile::exists(desktopFile()));
    EXPECT_TRUE(file.set(false));
    EXPECT_FALSE(QFile::exists(desktopFile()));
}

TEST_F(ConfigAutostartFile, DefaultFileIsInTheSessionAutostartFolder) {
    qputenv("XDG_CONFIG_HOME", "/tmp/quindra-config");
    EXPECT_EQ(XdgAutostartFile::defaultFile(),
              QStringLiteral("/tmp/quindra-config/autostart/quindra-espera.desktop"));
    qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(ConfigAutostartFile, UnwritableFolderFails) {
    // A plain file where the autostart folder should be.
    QFile blocker(dir.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    XdgAutostartFile file(desktopFile(), QStringLiteral("/opt/quindra/quindra"));
    EXPECT_FALSE(file.set(true));
}

}  // namespace
}  // namespace quindra
