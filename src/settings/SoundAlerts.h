#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// Alert numbers, as callers pass them to PlayAlertSound.
enum class AlertSound {
    Connected = 0,
    Disconnected = 1,
    JobCompleted = 2,
    OverwritePrompt = 3,
    JobFailed = 4,
    AllJobsProcessed = 5,
    SearchComplete = 6,
    ComparisonDone = 7,
    FtpAccessDenied = 8,
};
constexpr int AlertSoundRows = 9;   // alerts the settings dialog edits
constexpr int AlertSoundSlots = 10; // slots of the tables (slot 9 is never used)

// The check-box caption of an alert row (0..8).
QString AlertSoundName(int alert);

// Plays wave files for the alerts. The program uses Qt Multimedia; a test can
// install its own player.
class AlertPlayer
{
public:
    virtual ~AlertPlayer() = default;
    virtual void Play(const QString &path) = 0; // returns at once
    virtual void Stop() = 0;
};

// Installs the player PlayAlertSound uses (nullptr: the Qt Multimedia one).
void InstallAlertPlayer(std::unique_ptr<AlertPlayer> player);

// The program-wide alert tables, filled by ApplyConfiguration: enabled bytes
// (0 = off) and wave file paths, slots 0..9.
QList<quint8> &SoundEnabledTable();
QStringList &SoundPathTable();
// The alert played last (0 before any).
int LastAlertPlayed();

// Plays alert `alert` when sound alerts are on, the alert is enabled and its
// file exists; the same alert again restarts it, another one replaces it.
// Numbers outside the tables play nothing.
void PlayAlertSound(int alert);
inline void PlayAlertSound(AlertSound alert) { PlayAlertSound(static_cast<int>(alert)); }
