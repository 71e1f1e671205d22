// The log pane's properties, background pictures and saved property set.
#include "LoggerTestSupport.h"

#include "DataRoot.h"
#include "PropertyBag.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QByteArray errorLog()
{
    return ReadFileBytes(DataRoot::FileInRoot(QStringLiteral("error.log")));
}

} // namespace

TEST(LoggerProperties, DefaultsWriteNothingAndAnEmptySetGivesDefaults)
{
    Logger logger;
    PropertyBag bag;
    logger.WriteProperties(bag);
    EXPECT_TRUE(bag.isEmpty()) << bag.keys().join(QLatin1Char(',')).toStdString();

    Logger loaded;
    loaded.ReadProperties(bag);
    EXPECT_TRUE(loaded.UseBullet());
    EXPECT_EQ(loaded.MaxLogs(), 32767);
    EXPECT_EQ(loaded.WordWrapLength(), 255);
    EXPECT_EQ(loaded.TraceBorderWidth(), 1);
    EXPECT_EQ(loaded.BackColor(), OleColors::ButtonFace);
    EXPECT_EQ(loaded.SelectionColor(), OleColors::Highlight);
    EXPECT_EQ(loaded.PictureStyle(), 0);
    EXPECT_EQ(loaded.Appearance(), 1);
    EXPECT_TRUE(loaded.Enabled());
}

TEST(LoggerProperties, ChangedPropertiesRoundTripThroughTheSavedSet)
{
    Logger logger;
    QSignalSpy changed(&logger, &Logger::PropertyChanged);
    logger.SetBackColor(OleColors::WindowBackground);
    QFont courier(QStringLiteral("Courier New"));
    courier.setPointSizeF(8.25);
    logger.SetFont(courier);
    logger.SetSelectionColor(0xD8BFD8);
    logger.SetUseBullet(false);
    logger.SetMaxLogs(500);
    logger.SetWordWrapLength(300);
    logger.SetInfoToolTip(QStringLiteral("Server 1"));
    logger.SetBorderStyle(1);
    logger.SetLargeChange(5);
    logger.SetPictureStyle(2);
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::green);
    logger.SetPicture(picture);
    EXPECT_EQ(changed.count(), 11);
    // Palette changes are not part of the saved set.
    logger.SetLogColors(3, 0xFF00);
    EXPECT_EQ(changed.count(), 11);

    PropertyBag bag;
    logger.WriteProperties(bag);
    EXPECT_EQ(bag.keys(), (QStringList{QStringLiteral("UseBullet"), QStringLiteral("BackColor"),
                                       QStringLiteral("BorderStyle"), QStringLiteral("Font"),
                                       QStringLiteral("InfoToolTip"), QStringLiteral("MaxLogs"),
                                       QStringLiteral("WordWrapLength"), QStringLiteral("LargeChange"),
                                       QStringLiteral("Picture"), QStringLiteral("SelectionColor"),
                                       QStringLiteral("PictureStyle")}));

    const PropertyBag stored = PropertyBag::fromBytes(bag.toBytes());
    Logger loaded;
    QSignalSpy loadedChanged(&loaded, &Logger::PropertyChanged);
    loaded.ReadProperties(stored);
    EXPECT_EQ(loadedChanged.count(), 0);
    EXPECT_EQ(loaded.BackColor(), OleColors::WindowBackground);
    EXPECT_EQ(loaded.SelectionColor(), 0xD8BFD8u);
    EXPECT_EQ(loaded.Font().family(), QStringLiteral("Courier New"));
    EXPECT_FALSE(loaded.UseBullet());
    EXPECT_EQ(loaded.MaxLogs(), 500);
    EXPECT_EQ(loaded.WordWrapLength(), 300);
    EXPECT_EQ(loaded.InfoToolTip(), QStringLiteral("Server 1"));
    EXPECT_EQ(loaded.BorderStyle(), 1);
    EXPECT_EQ(loaded.LargeChange(), 5);
    EXPECT_EQ(loaded.verticalScrollBar()->pageStep(), 5);
    EXPECT_EQ(loaded.Picture().size(), QSize(8, 8));
    PropertyBag again;
    loaded.WriteProperties(again);
    EXPECT_EQ(again, bag);
}

TEST(LoggerProperties, WritersCheckTheirRanges)
{
    Logger logger;
    logger.SetWordWrapLength(149);
    EXPECT_EQ(logger.WordWrapLength(), 255);
    logger.SetWordWrapLength(501);
    EXPECT_EQ(logger.WordWrapLength(), 255);
    logger.SetWordWrapLength(150);
    EXPECT_EQ(logger.WordWrapLength(), 150);
    logger.SetWordWrapLength(500);
    EXPECT_EQ(logger.WordWrapLength(), 500);

    logger.SetMaxLogs(0);
    EXPECT_EQ(logger.MaxLogs(), 32767);
    logger.SetMaxLogs(1);
    EXPECT_EQ(logger.MaxLogs(), 1);

    ScriptedPrompts prompts;
    prompts.expectMessage(QStringLiteral("Invalid Value. Range[1 - 20]"), PromptButton::Ok)
        .expectMessage(QStringLiteral("Invalid Value. Range[1 - 20]"), PromptButton::Ok);
    logger.SetTraceBorderWidth(0);
    logger.SetTraceBorderWidth(21);
    EXPECT_TRUE(prompts.allUsed());
    EXPECT_EQ(prompts.shown().front().title, QStringLiteral("Ftp Qor"));
    EXPECT_EQ(logger.TraceBorderWidth(), 1);
    logger.SetTraceBorderWidth(20);
    EXPECT_EQ(logger.TraceBorderWidth(), 20);
}

TEST(LoggerProperties, SavedSetValuesApplyUnlessTheyCannotWork)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("WordWrapLength"), QVariant::fromValue<qint16>(100), QVariant());
    bag.WriteProperty(QStringLiteral("TraceBorderWidth"), QVariant::fromValue<qint16>(40), QVariant());
    Logger logger;
    logger.ReadProperties(bag);
    EXPECT_EQ(logger.WordWrapLength(), 100);
    EXPECT_EQ(logger.TraceBorderWidth(), 40);

    // A wrap width of zero would divide by nothing: the default takes its place.
    bag.WriteProperty(QStringLiteral("wordwraplength"), QVariant::fromValue<qint16>(0), QVariant());
    Logger zero;
    zero.ReadProperties(bag);
    EXPECT_EQ(zero.WordWrapLength(), 255);
    EXPECT_TRUE(zero.AddLog(QString(300, QLatin1Char('x')), 0));
    EXPECT_EQ(zero.entry(1).LineCount, 2);
}

TEST(LoggerProperties, PaletteAndBulletIndexesAreChecked)
{
    Logger logger;
    logger.SetLogColors(3, 0xFF00);
    EXPECT_EQ(logger.LogColors(3), 0xFF00u);
    EXPECT_EQ(logger.LogColors(0), 0xFF0000u);
    EXPECT_EQ(logger.LogColors(7), OleColors::HighlightText);
    const qsizetype before = errorLog().size();
    EXPECT_EQ(logger.LogColors(8), 0u);
    EXPECT_TRUE(errorLog().mid(before).contains("Logger.LogColors"));
    EXPECT_TRUE(logger.BulletImage(-1).isNull());
    EXPECT_FALSE(logger.BulletImage(0).isNull());
    EXPECT_FALSE(logger.BulletImage(4).isNull());
}

TEST(LoggerProperties, BackgroundPicturesAreTiledAndStretched)
{
    auto logger = MakeShownLogger(300, 150);
    logger->SetBackColor(0xFFFFFF);
    QImage tile(20, 20, QImage::Format_RGB32);
    tile.fill(QColor(0, 200, 0));
    logger->SetPicture(tile);
    logger->SetPictureStyle(2);
    logger->ClearLogs();
    const QImage &surface = logger->surface();
    // Tiles reach the far corner of the surface.
    EXPECT_EQ(surface.pixelColor(surface.width() - 1, surface.height() - 1), QColor(0, 200, 0));

    // Natural size: only the top-left corner is covered.
    logger->SetPictureStyle(0);
    logger->ClearLogs();
    EXPECT_EQ(logger->surface().pixelColor(5, 5), QColor(0, 200, 0));
    EXPECT_EQ(logger->surface().pixelColor(100, 100), QColor(255, 255, 255));

    // Taking the picture away leaves the plain background.
    logger->SetPicture(QImage());
    logger->ClearLogs();
    EXPECT_EQ(logger->surface().pixelColor(5, 5), QColor(255, 255, 255));
}

TEST(LoggerProperties, SnapshotStylesWithoutAPictureLogTheFailedPaint)
{
    auto logger = MakeShownLogger(300, 150);
    logger->SetPictureStyle(3);
    const qsizetype before = errorLog().size();
    logger->resize(320, 160);
    QApplication::processEvents();
    EXPECT_TRUE(errorLog().mid(before).contains("Logger.Orig_Picture"));
}
