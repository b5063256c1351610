#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <optional>

#include "app/ManualOpener.h"
#include "support/FakeLog.h"
#include "support/ShellRig.h"
#include "window/DocumentViewer.h"

namespace quindra::testing {
namespace {

class FakeViewer final : public DocumentViewer {
public:
    bool show(const QString& file) override {
        shown << file;
        return starts;
    }
    QStringList shown;
    bool starts = true;
};

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

struct ManualCase {
    const char* name;
    bool display;
    bool installed;  // the first place holds the manual
    bool buildTree;  // the second place holds it
    bool viewerStarts;
    int shownPlace;    // -1: nothing shown
    const char* line;  // the status line, or nullptr
};

class ManualOpening : public ::testing::TestWithParam<ManualCase> {};

TEST_P(ManualOpening, ShowsTheFirstManualThereIsOrSaysWhatStoodInTheWay) {
    const ManualCase& c = GetParam();
    QTemporaryDir tmp;
    const QStringList places{tmp.path() + QStringLiteral("/usr/share/doc/quindra/espera.html"),
                             tmp.path() + QStringLiteral("/build/dist/espera.html")};
    if (c.installed)
        Touch(places[0]);
    if (c.buildTree)
        Touch(places[1]);
    FakeViewer viewer;
    viewer.starts = c.viewerStarts;
    FakeLog log;

    ManualOpener(c.display ? &viewer : nullptr, places, log).open();

    if (c.shownPlace < 0)
        EXPECT_TRUE(viewer.shown.isEmpty());
    else
        EXPECT_EQ(viewer.shown, QStringList{places[c.shownPlace]});
    if (!c.line) {
        EXPECT_TRUE(log.lines.isEmpty()) << log.lines.join('\n').toStdString();
    } else {
        ASSERT_EQ(log.lines.size(), 1);
        EXPECT_EQ(log.lines[0], QString::fromUtf8(c.line).arg(viewer.shown.value(0)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualOpening,
    ::testing::Values(
        ManualCase{"Installed", true, true, true, true, 0, nullptr},
        ManualCase{"BuildTree", true, false, true, true, 1, nullptr},
        ManualCase{"NoDisplay", false, true, true, true, -1,
                   "O manual não é aberto sem tela. Ele também pode ser lido com \"man espera\"."},
        ManualCase{"Missing", true, false, false, true, -1,
                   "O manual não foi encontrado nesta instalação. Ele também pode ser lido com "
                   "\"man espera\"."},
        ManualCase{"NoViewer", true, true, false, false, 0,
                   "Nenhum navegador ou visualizador abriu o manual %1. Ele também pode ser lido "
                   "com \"man espera\"."}),
    [](const auto& info) { return std::string(info.param.name); });

// The desktop's choice is xdg-open's: it gets the file and is not waited for.
TEST(XdgDocumentViewer, HandsTheFileToXdgOpenAndFailsWithoutIt) {
    QTemporaryDir tmp;
    const QString bin = tmp.path() + QStringLiteral("/bin");
    QDir().mkpath(bin);
    const QString record = tmp.path() + QStringLiteral("/opened");
    QFile script(bin + QStringLiteral("/xdg-open"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1.tmp' && /bin/mv '%1.tmp' '%1'\n")
                     .arg(record)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit());
    XdgDocumentViewer viewer;
    const QString manual = tmp.path() + QStringLiteral("/manual de uso.html");
    const bool started = viewer.show(manual);
    qputenv("PATH", tmp.path().toLocal8Bit() + "/nothing-here");
    const bool startedWithout = viewer.show(manual);
    qputenv("PATH", savedPath);

    EXPECT_TRUE(started);
    EXPECT_FALSE(startedWithout);
    for (int i = 0; i < 100 && !QFile::exists(record); ++i)
        QThread::msleep(50);
    QFile opened(record);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly)) << "xdg-open never ran";
    EXPECT_EQ(QString::fromUtf8(opened.readAll()), manual);
}

// The tray's "Manual" reaches the opener; a program without a display says
// so in the status log.
TEST(ManualFromTheTray, WithoutADisplayTheMenuItemWritesOneLine) {
    ShellRig rig;
    FakeWindow window;
    Shell shell(rig.ports(), window);
    window.shell = &shell;
    shell.start();
    window.log.lines.clear();
    ASSERT_TRUE(window.trayIcon.onManual);
    window.trayIcon.onManual();
    EXPECT_EQ(window.log.lines.filter(QStringLiteral("O manual não é aberto sem tela.")).size(), 1)
        << window.log.lines.join('\n').toStdString();
}

}  // namespace
}  // namespace quindra::testing
