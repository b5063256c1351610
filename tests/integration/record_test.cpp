#include <QFile>

#include "ProgramRun.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

using Record = ProgramRun;

// The real program keeps its status lines in its state folder: after a
// restart the previous run's lines are still there, the new ones after them.
TEST_F(Record, TheLogFileHoldsThePreviousRunsLinesAfterARestart) {
    const QString file = path("state/quindra/espera.log");
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        start();
        ASSERT_TRUE(waitForLine(QStringLiteral("Localizando Hardware da Vizudu..."),
                                std::chrono::seconds(20)))
            << out().toStdString();
        EXPECT_TRUE(endsInOrder());
        QFile log(file);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        EXPECT_EQ(text.count(QStringLiteral(" - Localizando Hardware da Vizudu...\n")), run);
        EXPECT_EQ(text.count(QStringLiteral(" - Sistema finalizado")), run);
        // Each line as standard output had it.
        for (const QString& line : out().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            EXPECT_TRUE(text.contains(line + QLatin1Char('\n'))) << line.toStdString();
    }
}

}  // namespace
