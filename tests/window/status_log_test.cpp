#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QTextBlock>

#include "core/VirtualEventLoop.h"
#include "support/Fakes.h"
#include "window/ErrorHandler.h"
#include "window/StatusLog.h"
#include "window/StatusLogView.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

const LocaleFormats kPtBr{QLocale(QStringLiteral("pt_BR"))};

TEST(StatusLog, LineIsShortDateLongTimeAndMessageAlsoOnStandardOutput) {
    VirtualEventLoop loop;
    FakeClock clock(QDateTime(QDate(2024, 12, 9), QTime(14, 5, 33)));
    FakeLogView view;
    QStringList echoed;
    StatusLog log(loop, clock, kPtBr, view, [&](const QString& l) { echoed << l; });

    EXPECT_FALSE(log.write(QStringLiteral("Localizando Hardware da Vizudu...")));
    EXPECT_FALSE(log.write(QStringLiteral("Aguarde inicializando stream.")));

    const QStringList expected{
        QStringLiteral("09/12/2024 - 14:05:33 - Localizando Hardware da Vizudu..."),
        QStringLiteral("09/12/2024 - 14:05:33 - Aguarde inicializando stream.")};
    EXPECT_EQ(view.lines, expected);
    EXPECT_EQ(echoed, expected);
}

TEST(StatusLog, DateAndTimeAreTwoClockReads) {
    VirtualEventLoop loop;
    FakeClock clock(QDateTime(QDate(2024, 12, 9), QTime(23, 59, 59, 999)));
    clock.stepMs = 1;
    FakeLogView view;
    StatusLog log(loop, clock, kPtBr, view, nullptr);
    log.write(QStringLiteral("x"));
    EXPECT_EQ(view.lines, QStringList{QStringLiteral("09/12/2024 - 00:00:00 - x")});
}

TEST(StatusLog, AFailingBoxDropsTheLineWithoutThrowing) {
    VirtualEventLoop loop;
    FakeClock clock(QDateTime(QDate(2024, 12, 9), QTime(14, 5, 33)));
    FakeLogView view;
    view.failing = true;
    QStringList echoed;
    StatusLog log(loop, clock, kPtBr, view, [&](const QString& l) { echoed << l; });
    EXPECT_TRUE(log.write(QStringLiteral("perdida")));
    EXPECT_TRUE(echoed.isEmpty());
}

class StatusLogViewClearing : public ::testing::Test {
protected:
    void fill(int lines, const QString& text = QStringLiteral("linha")) {
        for (int i = 0; i < lines; ++i)
            log.write(text);
    }
    VirtualEventLoop loop;
    FakeClock clock{QDateTime(QDate(2024, 12, 9), QTime(14, 5, 33))};
    StatusLogView memo;
    StatusLog log{loop, clock, kPtBr, memo, nullptr};
};

TEST_F(StatusLogViewClearing, TickEmptiesTheBoxAtThreeHundredRowsNotBefore) {
    log.clearTimer().setEnabled(true);
    fill(299);
    EXPECT_EQ(memo.displayedRows(), 299);
    loop.advance(5000);
    EXPECT_EQ(memo.displayedRows(), 299);

    fill(1);
    loop.advance(4999);
    EXPECT_EQ(memo.displayedRows(), 300);
    loop.advance(1);
    EXPECT_EQ(memo.displayedRows(), 0);

    log.write(QStringLiteral("primeira"));
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("09/12/2024 - 14:05:33 - primeira"));
    EXPECT_EQ(memo.displayedRows(), 1);
}

TEST_F(StatusLogViewClearing, LinesAddedBetweenTicksMayPassTheLimitAndTheWholeBoxGoes) {
    log.clearTimer().setEnabled(true);
    fill(302);
    loop.advance(4999);
    EXPECT_EQ(memo.displayedRows(), 302);
    loop.advance(1);
    EXPECT_EQ(memo.displayedRows(), 0);
}

int laidOutRows(StatusLogView& memo) {
    int rows = 0;
    for (QTextBlock b = memo.document()->begin(); b.isValid(); b = b.next()) {
        memo.document()->documentLayout()->blockBoundingRect(b);
        rows += b.layout()->lineCount();
    }
    return rows;
}

TEST_F(StatusLogViewClearing, WrappedLinesCountOncePerDisplayedRow) {
    const QString longMessage = QString(QStringLiteral("palavra ")).repeated(60);
    log.write(longMessage);
    // Counted while the box has never been shown, as in a start in the tray.
    const int rowsOfOne = memo.displayedRows();
    ASSERT_GE(rowsOfOne, 3);
    log.write(QString(QStringLiteral("x")).repeated(400));
    log.write(QStringLiteral("curta"));
    const int hiddenCount = memo.displayedRows();
    memo.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(hiddenCount, laidOutRows(memo));
    memo.clear();

    const int linesToLimit = (300 + rowsOfOne - 1) / rowsOfOne;
    fill(linesToLimit - 1, longMessage);
    log.clearWhenFull();
    EXPECT_EQ(memo.displayedRows(), rowsOfOne * (linesToLimit - 1));
    EXPECT_LT(memo.displayedRows(), 300);
    fill(1, longMessage);
    log.clearWhenFull();
    EXPECT_EQ(memo.displayedRows(), 0);
}

TEST(ErrorBoxText, PeriodIsAddedWhenTheLastCharacterSortsAfterIt) {
    struct Case {
        const char* text;
        const char* shown;
    };
    for (const Case& c :
         {Case{"'x' is not a valid boolean value", "'x' is not a valid boolean value."},
          Case{"Failed to set data for 'PathAudio'", "Failed to set data for 'PathAudio'"},
          Case{"Failed to create key A\\B\\", "Failed to create key A\\B\\."},
          Case{"Pronto.", "Pronto."}, Case{"Erro (3)", "Erro (3)"}, Case{"Erro -", "Erro -"},
          Case{"Erro 3", "Erro 3."}, Case{"", ""}}) {
        EXPECT_EQ(ErrorHandler::boxText(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown))
            << c.text;
    }
}

TEST(ErrorBoxText, ABatchShowsEachTextOnce) {
    FakeBoxes boxes;
    ErrorHandler errors(boxes);
    {
        ErrorHandler::Batch once(errors);
        errors.report(QStringLiteral("a"));
        errors.report(QStringLiteral("a"));
        errors.report(QStringLiteral("b"));
    }
    errors.report(QStringLiteral("a"));
    EXPECT_EQ(boxes.errors, (QStringList{"a.", "b.", "a."}));
}

}  // namespace
