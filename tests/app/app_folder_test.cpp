#include <gtest/gtest.h>

#include "app/AppFolder.h"

using namespace quindra;

namespace {

// Where the message folder lives: an installed program never writes beside
// its executable in the system's folders.
TEST(AppFolder, InstalledUnderUsrUsesTheUsersDataFolderAndQuindraHomeAlwaysWins) {
    struct Case {
        const char* executableDir;
        const char* quindraHome;
        const char* expected;
    };
    const QString data = QStringLiteral("/home/op/.local/share");
    for (const Case& c : {
             Case{"/usr/bin", "", "/home/op/.local/share/quindra/"},
             Case{"/usr/local/bin", "", "/home/op/.local/share/quindra/"},
             Case{"/usr/bin/", "", "/home/op/.local/share/quindra/"},
             Case{"/usr", "", "/home/op/.local/share/quindra/"},
             Case{"/usr/bin", "/srv/espera", "/srv/espera/"},
             Case{"/home/op/quindra/build/src/app", "", "/home/op/quindra/build/src/app/"},
             Case{"/opt/quindra", "", "/opt/quindra/"},
             Case{"/usrlocal/bin", "", "/usrlocal/bin/"},
             Case{"/opt/quindra", "/srv/espera/", "/srv/espera/"},
         }) {
        SCOPED_TRACE(c.executableDir);
        EXPECT_EQ(
            AppFolder(QString::fromUtf8(c.executableDir), QString::fromUtf8(c.quindraHome), data),
            QString::fromUtf8(c.expected));
    }
}

}  // namespace
