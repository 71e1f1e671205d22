// Alert sounds: the master switch, per-alert enabling, restart of the same
// alert, and numbers outside the tables.
#include "ConfigTestSupport.h"
#include "OptionFlags.h"
#include "SoundAlerts.h"

#include <QCoreApplication>
#include <QFile>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Recorded {
    QStringList calls;
};

class RecordingPlayer final : public AlertPlayer
{
public:
    explicit RecordingPlayer(Recorded &log) : m_log(log) {}
    void Play(const QString &path) override { m_log.calls << "play " + path; }
    void Stop() override { m_log.calls << "stop"; }

private:
    Recorded &m_log;
};

class SoundAlertsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const QString name : {"a.wav", "b.wav"}) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
        SoundEnabledTable() = QList<quint8>(AlertSoundSlots, 0);
        SoundPathTable() = QStringList(AlertSoundSlots);
        SetOptionFlag(OptionFlag::EnableSoundAlerts, true);
        InstallAlertPlayer(std::make_unique<RecordingPlayer>(log));
    }
    void TearDown() override
    {
        InstallAlertPlayer(nullptr);
        SetOptionFlag(OptionFlag::EnableSoundAlerts, false);
    }
    void enable(AlertSound alert, const QString &path, quint8 enabled = 1)
    {
        SoundEnabledTable()[static_cast<int>(alert)] = enabled;
        SoundPathTable()[static_cast<int>(alert)] = path;
    }

    QTemporaryDir dir;
    Recorded log;
};

} // namespace

TEST_F(SoundAlertsTest, SameAlertRestartsAnotherReplaces)
{
    enable(AlertSound::JobCompleted, dir.filePath("a.wav"));
    enable(AlertSound::JobFailed, dir.filePath("b.wav"));
    PlayAlertSound(AlertSound::JobCompleted);
    PlayAlertSound(AlertSound::JobCompleted);
    PlayAlertSound(AlertSound::JobFailed);
    EXPECT_EQ(log.calls, QStringList({"play " + dir.filePath("a.wav"), "stop", "play " + dir.filePath("a.wav"),
                                      "play " + dir.filePath("b.wav")}));
    EXPECT_EQ(LastAlertPlayed(), 4);
}

TEST_F(SoundAlertsTest, SilentWhenSwitchedOffDisabledOrMissing)
{
    enable(AlertSound::Connected, dir.filePath("a.wav"), 0);
    enable(AlertSound::Disconnected, dir.filePath("missing.wav"));
    enable(AlertSound::SearchComplete, dir.filePath("b.wav"));
    PlayAlertSound(AlertSound::Connected);
    PlayAlertSound(AlertSound::Disconnected);
    SetOptionFlag(OptionFlag::EnableSoundAlerts, false);
    PlayAlertSound(AlertSound::SearchComplete);
    EXPECT_TRUE(log.calls.isEmpty());
}

TEST_F(SoundAlertsTest, NumbersOutsideTheTablesPlayNothing)
{
    enable(AlertSound::Connected, dir.filePath("a.wav"));
    PlayAlertSound(-1);
    PlayAlertSound(10);
    PlayAlertSound(1000);
    EXPECT_TRUE(log.calls.isEmpty());
    PlayAlertSound(0);
    ASSERT_FALSE(log.calls.isEmpty());
    EXPECT_EQ(log.calls.last(), "play " + dir.filePath("a.wav"));
    EXPECT_EQ(LastAlertPlayed(), 0);
}

TEST_F(SoundAlertsTest, RealPlayerStaysQuietWithoutAnAudioDevice)
{
    InstallAlertPlayer(nullptr);
    QFile wav(dir.filePath("a.wav"));
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
    // A valid, tiny PCM wave file: 8 kHz mono 8-bit, four samples.
    const QByteArray data = QByteArray::fromHex("52494646280000005741564566"
                                                "6d7420100000000100010040"
                                                "1f0000401f00000100080064"
                                                "6174610400000080808080");
    wav.write(data);
    wav.close();
    enable(AlertSound::ComparisonDone, wav.fileName());
    PlayAlertSound(AlertSound::ComparisonDone);
    PlayAlertSound(AlertSound::ComparisonDone);
    EXPECT_EQ(LastAlertPlayed(), 7);

    // Qt Multimedia reads the file on a thread of its own. The test ends only
    // once that read is over: a process leaving while it runs leaves the
    // half-read sample behind, reported as a leak.
    auto *effect = QCoreApplication::instance()->findChild<QSoundEffect *>();
    ASSERT_NE(effect, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([effect] { return effect->status() != QSoundEffect::Loading; }, 60000));
}
