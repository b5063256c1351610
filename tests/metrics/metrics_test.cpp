#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/VirtualEventLoop.h"
#include "metrics/LineMetrics.h"
#include "metrics/MetricsFile.h"
#include "metrics/PrometheusText.h"
#include "support/FakeClock.h"
#include "support/FakeLog.h"

namespace quindra::testing {
namespace {

QString Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<none>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The samples only, as a scrape reads them.
QStringList Samples(const QString& text) {
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (!line.startsWith(QLatin1Char('#')))
            out << line;
    return out;
}

TEST(PrometheusText, EveryFigureOnceWithItsTypeAndTheNameEscapedAsALabel) {
    LineFigures f;
    f.onAir = true;
    f.hardwarePresent = true;
    f.message = QStringLiteral("Promo \"Natal\"\\2026\n.wav");
    f.onAirSeconds = 3725;
    f.swaps = 3;
    f.offAirEvents = 1;
    f.soundFaults = 2;
    f.lastSwapUnixSeconds = 1796997600;
    const QString text = PrometheusText(f);
    EXPECT_TRUE(text.startsWith(kPrometheusFileMark));
    EXPECT_EQ(Samples(text),
              (QStringList{QStringLiteral("quindra_on_air 1"),
                           QStringLiteral("quindra_hardware_present 1"),
                           QStringLiteral("quindra_message_info{file=\"Promo \\\"Natal\\\"\\\\2026"
                                          "\\n.wav\"} 1"),
                           QStringLiteral("quindra_on_air_seconds_total 3725"),
                           QStringLiteral("quindra_swaps_total 3"),
                           QStringLiteral("quindra_off_air_events_total 1"),
                           QStringLiteral("quindra_sound_faults_total 2"),
                           QStringLiteral("quindra_last_swap_timestamp_seconds 1796997600")}));
    EXPECT_TRUE(text.contains(QStringLiteral("# TYPE quindra_swaps_total counter\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("# TYPE quindra_on_air gauge\n")));

    // Nothing on air and no swap yet: no made-up name or time.
    const QStringList idle = Samples(PrometheusText(LineFigures{}));
    EXPECT_TRUE(idle.filter(QStringLiteral("quindra_message_info")).isEmpty());
    EXPECT_TRUE(idle.filter(QStringLiteral("quindra_last_swap")).isEmpty());
    EXPECT_TRUE(idle.contains(QStringLiteral("quindra_on_air 0")));
}

class MetricsFileTest : public ::testing::Test {
protected:
    QString at(const char* name) const { return dir.path() + QLatin1Char('/') + name; }
    QStringList leftovers() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    QTemporaryDir dir;
};

TEST_F(MetricsFileTest, WritesAWholeFileReadableByTheCollectorAndReplacesItsOwn) {
    const QString path = at("quindra.prom");
    ASSERT_TRUE(MetricsFile::write(path, kPrometheusFileMark + QStringLiteral("a 1\n")).isEmpty());
    ASSERT_TRUE(MetricsFile::write(path, kPrometheusFileMark + QStringLiteral("a 2\n")).isEmpty());
    EXPECT_EQ(Read(path), kPrometheusFileMark + QStringLiteral("a 2\n"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_EQ(leftovers(), QStringList{QStringLiteral("quindra.prom")});
}

// Whatever the setting names, a file the program did not write stays as it is.
TEST_F(MetricsFileTest, RefusesPathsAndFilesThatAreNotItsOwn) {
    Write(at("alheio.prom"), "node_custom 1\n");
    Write(at("alvo"), kPrometheusFileMark.toUtf8());
    ASSERT_EQ(::symlink(QFile::encodeName(at("alvo")).constData(),
                        QFile::encodeName(at("link.prom")).constData()),
              0);
    QDir(dir.path()).mkdir(QStringLiteral("pasta.prom"));
    struct Case {
        QString path;
        const char* reason;
    } cases[] = {
        {QStringLiteral("relativo.prom"), "o caminho deve ser completo e terminar em .prom"},
        {at("metricas.txt"), "o caminho deve ser completo e terminar em .prom"},
        {at("alheio.prom"), "já existe e não foi escrito por este programa"},
        {at("link.prom"), "já existe e não foi escrito por este programa"},
        {at("pasta.prom"), "já existe e não foi escrito por este programa"},
        {at("falta/quindra.prom"), ""},  // the system's own words
    };
    for (const Case& c : cases) {
        const QString problem = MetricsFile::write(c.path, kPrometheusFileMark);
        EXPECT_TRUE(!problem.isEmpty() && problem.contains(QString::fromUtf8(c.reason)))
            << c.path.toStdString() << ": " << problem.toStdString();
    }
    EXPECT_EQ(Read(at("alheio.prom")), QStringLiteral("node_custom 1\n"));
    EXPECT_TRUE(QFileInfo(at("link.prom")).isSymLink());
    EXPECT_EQ(leftovers().size(), 3);  // alheio.prom, alvo, link.prom
}

class LineMetricsTest : public ::testing::Test {
protected:
    QString text() const { return Read(path); }
    bool has(const char* sample) const {
        return Samples(text()).contains(QString::fromUtf8(sample));
    }
    QTemporaryDir dir;
    QString path = dir.path() + QStringLiteral("/quindra.prom");
    VirtualEventLoop loop;
    FakeClock clock{QDateTime(QDate(2026, 12, 11), QTime(9, 0, 0), Qt::UTC)};
    FakeLog log;
    LineMetrics metrics{loop, clock, log};
};

TEST_F(LineMetricsTest, FollowsTheLineAndCountsOnlySilencesNobodyAskedFor) {
    metrics.setPath(path);
    EXPECT_FALSE(QFile::exists(path));
    loop.advance(LineMetrics::kPathSettleMs);
    EXPECT_TRUE(has("quindra_on_air 0"));

    metrics.lineChanged(true, false, true, QStringLiteral("/x/Audio/promo.wav"));
    EXPECT_TRUE(has("quindra_on_air 1"));
    EXPECT_TRUE(has("quindra_message_info{file=\"promo.wav\"} 1"));

    // A minute later the file is rewritten on its own with the time on air.
    clock.set(clock.now().addSecs(60));
    loop.advance(LineMetrics::kRewriteMs);
    EXPECT_TRUE(has("quindra_on_air_seconds_total 60"));

    metrics.lineChanged(false, true, true, QStringLiteral("/x/Audio/promo.wav"));  // server lost
    metrics.soundFault();
    clock.set(clock.now().addSecs(30));
    metrics.lineChanged(true, false, true, QStringLiteral("/x/Audio/promo.wav"));
    metrics.lineChanged(false, false, true, QStringLiteral("/x/Audio/promo.wav"));  // a swap
    clock.set(clock.now().addSecs(4));
    metrics.swapped();
    metrics.lineChanged(true, false, true, QStringLiteral("/x/Audio/natal.mp3"));
    clock.set(clock.now().addSecs(10));
    metrics.lineChanged(false, false, false, {});  // unplugged

    EXPECT_TRUE(has("quindra_off_air_events_total 1"));
    EXPECT_TRUE(has("quindra_sound_faults_total 1"));
    EXPECT_TRUE(has("quindra_swaps_total 1"));
    EXPECT_TRUE(has("quindra_hardware_present 0"));
    EXPECT_TRUE(has("quindra_on_air_seconds_total 70"));
    EXPECT_TRUE(Samples(text()).filter(QStringLiteral("quindra_message_info")).isEmpty());
    EXPECT_TRUE(has("quindra_last_swap_timestamp_seconds 1796979694"));  // 09:01:34 UTC
    EXPECT_TRUE(log.lines.isEmpty()) << log.lines.join('\n').toStdString();
}

TEST_F(LineMetricsTest, NoPathNoFileAProblemToldOnceAndTheEndIsOffAir) {
    metrics.lineChanged(true, false, true, QStringLiteral("/x/promo.wav"));
    loop.advance(LineMetrics::kRewriteMs);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    const QString missing = dir.path() + QStringLiteral("/falta/quindra.prom");
    // Each keystroke of the page is a new path; only the one left standing
    // is written to.
    for (int n = 1; n < missing.size(); ++n)
        metrics.setPath(missing.left(n));
    metrics.setPath(missing);
    metrics.swapped();
    loop.advance(3 * LineMetrics::kRewriteMs);
    ASSERT_EQ(log.lines.size(), 1) << log.lines.join('\n').toStdString();
    EXPECT_TRUE(log.lines[0].startsWith(QStringLiteral("As métricas não foram escritas em ") +
                                        missing + QStringLiteral(": ")));

    metrics.setPath(path);
    loop.advance(LineMetrics::kPathSettleMs);
    metrics.finish();
    EXPECT_TRUE(has("quindra_on_air 0"));
    EXPECT_TRUE(has("quindra_swaps_total 1"));
    const QString last = text();
    loop.advance(2 * LineMetrics::kRewriteMs);
    EXPECT_EQ(text(), last);
}

}  // namespace
}  // namespace quindra::testing
