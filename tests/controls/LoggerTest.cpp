// The log pane's entries, limits, drawing, selection, keys and mouse.
#include "LoggerTestSupport.h"

#include "ScriptedPrompts.h"

#include <QAction>
#include <QClipboard>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

TEST(Logger, WrapsLongTextIntoDisplayLinesAndNormalisesEntries)
{
    Logger logger;
    EXPECT_TRUE(logger.AddLog(QString(255, QLatin1Char('a')), 0));
    EXPECT_TRUE(logger.AddLog(QString(256, QLatin1Char('b')), 1));
    EXPECT_TRUE(logger.AddLog(QString(), 2));
    EXPECT_TRUE(logger.AddLog(QStringLiteral("a\r\nb\rc\nd"), 3, 24));
    EXPECT_EQ(logger.entry(1).LineCount, 1);
    EXPECT_EQ(logger.entry(2).LineCount, 2);
    EXPECT_EQ(logger.entry(3).LineCount, 1);
    EXPECT_EQ(logger.entry(4).Text, QStringLiteral("a b c d"));
    EXPECT_EQ(logger.entry(4).StyleFlags, 23);
    EXPECT_EQ(logger.totalLines(), 5);
    EXPECT_EQ(logger.currentLine(), 5);
    EXPECT_EQ(logger.CurrentLogIndex(), 4);

    // Colours outside the palette are refused.
    EXPECT_FALSE(logger.AddLog(QStringLiteral("x"), 8));
    EXPECT_FALSE(logger.AddLog(QStringLiteral("x"), -1));
    EXPECT_EQ(logger.GetCount(), 4);
    EXPECT_EQ(logger.getLog(0), QString());
    EXPECT_EQ(logger.getLog(5), QString());
    EXPECT_EQ(logger.getLog(2), QString(256, QLatin1Char('b')));

    logger.ClearLogs();
    EXPECT_EQ(logger.GetCount(), 0);
    EXPECT_EQ(logger.CurrentLogIndex(), 0);
    EXPECT_EQ(logger.CurrentLog(), QString());
}

TEST(Logger, TextTooLongForOneEntryIsRefusedBeforeAnythingChanges)
{
    Logger logger;
    logger.SetMaxLogs(1);
    ASSERT_TRUE(logger.AddLog(QStringLiteral("kept"), 0));
    int asked = 0;
    QObject::connect(&logger, &Logger::BufferFull, &logger, [&](bool &clear) {
        ++asked;
        clear = true;
    }, Qt::DirectConnection);
    EXPECT_FALSE(logger.AddLog(QString(255 * 255 + 1, QLatin1Char('z')), 0));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(logger.GetCount(), 1);
    EXPECT_EQ(logger.getLog(1), QStringLiteral("kept"));
    // The longest text that fits is kept whole.
    EXPECT_TRUE(logger.AddLog(QString(255 * 255, QLatin1Char('z')), 0));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(logger.entry(1).LineCount, 255);
}

TEST(Logger, FullBufferAsksTheHostWhetherToClear)
{
    Logger logger;
    logger.SetMaxLogs(3);
    bool answer = false;
    int asked = 0;
    QObject::connect(&logger, &Logger::BufferFull, &logger, [&](bool &clear) {
        EXPECT_FALSE(clear);
        ++asked;
        clear = answer;
    }, Qt::DirectConnection);
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(logger.AddLog(QStringLiteral("entry %1").arg(i), 0));
    EXPECT_FALSE(logger.AddLog(QStringLiteral("entry 4"), 0));
    EXPECT_EQ(logger.GetCount(), 3);
    EXPECT_EQ(asked, 1);

    answer = true;
    EXPECT_TRUE(logger.AddLog(QStringLiteral("entry 5"), 0));
    EXPECT_EQ(logger.GetCount(), 1);
    EXPECT_EQ(logger.getLog(1), QStringLiteral("entry 5"));

    // A clear made for a full buffer stays even when the entry itself is refused.
    logger.AddLog(QStringLiteral("a"), 0);
    logger.AddLog(QStringLiteral("b"), 0);
    EXPECT_FALSE(logger.AddLog(QStringLiteral("bad colour"), 9));
    EXPECT_EQ(logger.GetCount(), 0);
}

TEST(Logger, DisplayLineCeilingHolds32700Lines)
{
    Logger logger;
    logger.SetWordWrapLength(150);
    int asked = 0;
    QObject::connect(&logger, &Logger::BufferFull, &logger, [&](bool &) { ++asked; }, Qt::DirectConnection);
    const QString fullEntry(255 * 150, QLatin1Char('w')); // 255 lines
    for (int i = 0; i < 128; ++i)
        ASSERT_TRUE(logger.AddLog(fullEntry, 0));
    ASSERT_TRUE(logger.AddLog(QString(60 * 150, QLatin1Char('w')), 0));
    EXPECT_EQ(logger.totalLines(), Logger::kMaxTotalLines);
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(logger.AddLog(QStringLiteral("one more"), 0));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(logger.totalLines(), Logger::kMaxTotalLines);
}

TEST(Logger, AddingScrollsToTheEndAndRendersTheEntries)
{
    auto logger = MakeShownLogger();
    const int visible = logger->visibleLines();
    ASSERT_GT(visible, 3);
    EXPECT_FALSE(logger->verticalScrollBar()->isEnabled());

    const QImage empty = logger->surface().copy();
    for (int i = 1; i <= visible + 5; ++i)
        logger->AddLog(QStringLiteral("line %1 of the session log").arg(i), i % 5, i % 3 == 0 ? 1 : 0);
    QScrollBar *bar = logger->verticalScrollBar();
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), visible + 5 - visible + 1);
    EXPECT_EQ(bar->value(), bar->maximum() - 1);

    // A resize keeps the last lines in view.
    bar->setValue(0);
    logger->resize(400, 300);
    QApplication::processEvents();
    EXPECT_EQ(logger->visibleLines(), logger->viewport()->height() / static_cast<int>(logger->lineHeight()));
    EXPECT_EQ(bar->value(), std::max(0, bar->maximum() - 1));

    const QImage drawn = logger->grab().toImage();
    EXPECT_NE(logger->surface(), empty);
    // Blue text of colour 0 (and the other palette colours) shows on the surface.
    bool coloured = false;
    const QColor background = drawn.pixelColor(logger->viewport()->width() - 2, 1);
    for (int y = 0; y < logger->surface().height() && !coloured; ++y)
        for (int x = 0; x < 200 && !coloured; ++x)
            coloured = logger->surface().pixelColor(x, y) != background;
    EXPECT_TRUE(coloured);
}

TEST(Logger, LongLinesEnableTheHorizontalBar)
{
    auto logger = MakeShownLogger(300, 150);
    QScrollBar *horizontal = logger->horizontalScrollBar();
    logger->AddLog(QStringLiteral("short"), 0);
    EXPECT_FALSE(horizontal->isEnabled());
    logger->AddLog(QString(200, QLatin1Char('m')), 0);
    EXPECT_TRUE(horizontal->isEnabled());
    EXPECT_GT(horizontal->maximum(), 0);

    const QImage before = logger->surface().copy();
    QTest::keyClick(logger->viewport(), Qt::Key_Right);
    EXPECT_EQ(horizontal->value(), 1);
    // One step moves the text ten pixels to the left.
    EXPECT_EQ(logger->surface().copy(10, 0, 100, 30), before.copy(20, 0, 100, 30));
    QTest::keyClick(logger->viewport(), Qt::Key_End);
    EXPECT_EQ(horizontal->value(), horizontal->maximum());
    QTest::keyClick(logger->viewport(), Qt::Key_Home);
    EXPECT_EQ(horizontal->value(), 0);
    QTest::keyClick(logger->viewport(), Qt::Key_Left);
    EXPECT_EQ(horizontal->value(), 0);

    logger->ClearLogs();
    EXPECT_FALSE(horizontal->isEnabled());
    EXPECT_EQ(horizontal->maximum(), 0);
}

// The width bar's range is read at once, line after line: it must come on with the first line
// wider than the view, in any font and style, and for text that only shaping can measure.
TEST(Logger, TheWidthBarComesOnWithTheFirstLineWiderThanTheView)
{
    auto logger = MakeShownLogger(300, 150);
    QScrollBar *horizontal = logger->horizontalScrollBar();
    QFont mono = logger->Font();
    QFont proportional(QStringLiteral("DejaVu Sans"));
    proportional.setPixelSize(13);
    QFont spaced = proportional;
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    struct Case {
        QFont font;
        int style;
        QString piece;
    };
    const Case cases[] = {
        {mono, 0, QStringLiteral("m")},
        {proportional, 0, QStringLiteral("AV")},                  // a kerned pair
        {proportional, 1, QStringLiteral("Wi. ")},                // bold
        {proportional, 2 | 4, QStringLiteral("fl")},              // italic, underlined
        {proportional, 0, QStringLiteral("é中")},        // outside ASCII
        {proportional, 0, QStringLiteral("á")},             // a combining mark
        {proportional, 0, QStringLiteral("x	y")},                // tabs
        {spaced, 0, QStringLiteral("ii")},                        // letter spacing
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.piece.toStdString() + " style " + std::to_string(c.style));
        logger->SetFont(c.font);
        logger->ClearLogs();
        QFont styled = c.font;
        styled.setBold((c.style & 1) != 0);
        styled.setItalic((c.style & 2) != 0);
        styled.setUnderline((c.style & 4) != 0);
        const QFontMetricsF metrics(styled);
        const double indent = 2 * logger->lineHeight(); // bullets are on
        const double view = logger->viewport()->width();
        bool cameOn = false;
        for (int n = 1; n < 200 && !cameOn; ++n) {
            const QString line = c.piece.repeated(n);
            ASSERT_TRUE(logger->AddLog(line, 0, c.style));
            const bool wider = metrics.horizontalAdvance(line) + indent > view;
            ASSERT_EQ(horizontal->isEnabled(), wider) << n << " pieces";
            ASSERT_EQ(horizontal->maximum() > 0, wider) << n << " pieces";
            cameOn = wider;
        }
        EXPECT_TRUE(cameOn);
    }
}

TEST(Logger, UpAndDownMoveTheCurrentLineAndScrollAtTheEdges)
{
    auto logger = MakeShownLogger();
    const int visible = logger->visibleLines();
    for (int i = 1; i <= visible + 3; ++i)
        logger->AddLog(QStringLiteral("entry %1").arg(i), 0);
    QScrollBar *bar = logger->verticalScrollBar();
    const int top = bar->value(); // first line in view is top + 1
    EXPECT_EQ(logger->CurrentLog(), QStringLiteral("entry %1").arg(visible + 3));

    // Walk up to the first line in view, then one more scrolls up by one line.
    while (logger->currentLine() > top + 1)
        QTest::keyClick(logger->viewport(), Qt::Key_Up);
    EXPECT_EQ(bar->value(), top);
    QTest::keyClick(logger->viewport(), Qt::Key_Up);
    EXPECT_EQ(bar->value(), top - 1);
    EXPECT_EQ(logger->CurrentLog(), QStringLiteral("entry %1").arg(top));

    // Down from the last line in view scrolls down.
    while (logger->currentLine() - bar->value() < visible)
        QTest::keyClick(logger->viewport(), Qt::Key_Down);
    const int before = bar->value();
    QTest::keyClick(logger->viewport(), Qt::Key_Down);
    EXPECT_EQ(bar->value(), before + 1);

    // Up on line 1 does nothing.
    logger->ClearLogs();
    logger->AddLog(QStringLiteral("only"), 0);
    QTest::keyClick(logger->viewport(), Qt::Key_Up);
    EXPECT_EQ(logger->currentLine(), 1);
}

TEST(Logger, KeyDownHandlerCanChangeTheKey)
{
    auto logger = MakeShownLogger();
    logger->AddLog(QStringLiteral("one"), 0);
    logger->AddLog(QStringLiteral("two"), 0);
    QObject::connect(logger.get(), &Logger::KeyDown, logger.get(), [](int &key, int &) {
        if (key == Qt::Key_Up)
            key = 0;
    }, Qt::DirectConnection);
    QTest::keyClick(logger->viewport(), Qt::Key_Up);
    EXPECT_EQ(logger->currentLine(), 2);
}

TEST(Logger, MouseSelectsWholeEntriesThroughWrappedLines)
{
    auto logger = MakeShownLogger(600, 300);
    logger->SetWordWrapLength(150);
    logger->AddLog(QStringLiteral("first"), 0);
    logger->AddLog(QString(150, QLatin1Char('a')) + QString(150, QLatin1Char('b')) + QStringLiteral("c"), 1); // lines 2-4
    logger->AddLog(QStringLiteral("fifth line"), 2);
    ASSERT_EQ(logger->totalLines(), 5);
    ASSERT_EQ(logger->verticalScrollBar()->value(), 0);

    // A click on the third display line selects the wrapped second entry.
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 3), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(logger->entry(2).Selected, 1);
    EXPECT_EQ(logger->entry(3).Selected, 0);
    EXPECT_EQ(logger->selectedCount(), 1);

    // Ctrl adds; a plain click replaces.
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 5), Qt::LeftButton, Qt::LeftButton,
              Qt::ControlModifier);
    EXPECT_EQ(logger->selectedCount(), 2);
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 1), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(logger->selectedCount(), 1);
    EXPECT_EQ(logger->entry(1).Selected, 1);

    // A line past the last entry selects nothing and keeps the selection.
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 8), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(logger->selectedCount(), 1);

    // Dragging toggles each entry it enters once, however many lines it spans.
    SendMouse(*logger, QEvent::MouseMove, LineInView(*logger, 2), Qt::NoButton, Qt::LeftButton);
    SendMouse(*logger, QEvent::MouseMove, LineInView(*logger, 3), Qt::NoButton, Qt::LeftButton);
    SendMouse(*logger, QEvent::MouseMove, LineInView(*logger, 4), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(logger->entry(2).Selected, 1);
    SendMouse(*logger, QEvent::MouseMove, LineInView(*logger, 5), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(logger->entry(3).Selected, 1);
    EXPECT_EQ(logger->selectedCount(), 3);
    // Moving without a button changes nothing.
    SendMouse(*logger, QEvent::MouseMove, LineInView(*logger, 1), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(logger->selectedCount(), 3);

    // Copy joins the selected texts with CR LF, in entry order.
    logger->ClearLogs();
    logger->AddLog(QStringLiteral("alpha"), 0);
    logger->AddLog(QStringLiteral("beta"), 0);
    logger->AddLog(QStringLiteral("gamma"), 0);
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 3), Qt::LeftButton, Qt::LeftButton);
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 1), Qt::LeftButton, Qt::LeftButton,
              Qt::ControlModifier);
    logger->copyAction()->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("alpha\r\ngamma"));
}

TEST(Logger, DraggingBelowThePaneScrollsOneLinePerMove)
{
    auto logger = MakeShownLogger(400, 120);
    const int visible = logger->visibleLines();
    for (int i = 1; i <= visible + 4; ++i)
        logger->AddLog(QStringLiteral("entry %1").arg(i), 0);
    QScrollBar *bar = logger->verticalScrollBar();
    bar->setValue(0);
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 1), Qt::LeftButton, Qt::LeftButton);
    const QPointF below(40, logger->viewport()->height() + 5);
    for (int i = 1; i <= 10; ++i) {
        SendMouse(*logger, QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
        EXPECT_EQ(bar->value(), std::min(i, bar->maximum()));
    }
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(Logger, MouseEventsReachTheHostInTwips)
{
    auto logger = MakeShownLogger();
    logger->AddLog(QStringLiteral("x"), 0);
    float seenX = -1;
    float seenY = -1;
    int seenButton = 0;
    int clicks = 0;
    QObject::connect(logger.get(), &Logger::MouseDown, logger.get(), [&](int &button, int &, float &x, float &y) {
        seenButton = button;
        seenX = x;
        seenY = y;
    }, Qt::DirectConnection);
    QObject::connect(logger.get(), &Logger::Click, logger.get(), [&] { ++clicks; });
    QTest::mouseClick(logger->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 4));
    EXPECT_EQ(seenButton, 1);
    EXPECT_FLOAT_EQ(seenX, 150);
    EXPECT_FLOAT_EQ(seenY, 60);
    EXPECT_EQ(clicks, 1);
}

TEST(Logger, PopupMenuEnablesWhatApplies)
{
    auto logger = MakeShownLogger();
    SendMouse(*logger, QEvent::MouseButtonPress, LineInView(*logger, 1), Qt::RightButton, Qt::RightButton);
    EXPECT_TRUE(logger->popupMenu()->isVisible());
    EXPECT_FALSE(logger->copyAction()->isEnabled());
    EXPECT_FALSE(logger->saveAction()->isEnabled());
    EXPECT_FALSE(logger->clearAction()->isEnabled());
    logger->popupMenu()->hide();

    logger->AddLog(QStringLiteral("one"), 0);
    logger->cornerButton()->click();
    EXPECT_TRUE(logger->popupMenu()->isVisible());
    EXPECT_FALSE(logger->copyAction()->isEnabled());
    EXPECT_TRUE(logger->saveAction()->isEnabled());
    logger->popupMenu()->hide();

    logger->clearAction()->trigger();
    EXPECT_EQ(logger->GetCount(), 0);
}

TEST(Logger, BulletsAndWrappedLinesDrawWithoutBulletsToo)
{
    auto logger = MakeShownLogger();
    logger->SetWordWrapLength(150);
    logger->AddLog(QString(400, QLatin1Char('q')), 3);
    const QImage withBullets = logger->surface().copy();
    logger->SetUseBullet(false);
    logger->Font(); // reading the font redraws
    const QImage without = logger->surface().copy();
    EXPECT_NE(withBullets, without);
    // Without bullets the first line starts one pixel from the left edge.
    const QColor background = without.pixelColor(without.width() - 1, without.height() - 1);
    bool inkNearLeft = false;
    for (int y = 0; y < static_cast<int>(logger->lineHeight()) && !inkNearLeft; ++y)
        for (int x = 0; x < 6 && !inkNearLeft; ++x)
            inkNearLeft = without.pixelColor(x, y) != background;
    EXPECT_TRUE(inkNearLeft);
}
