#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>

class OverwriteQuestions;
class ServerSlots;
class QWidget;

// Copies the selected file of one server's pane into the folder the other
// pane shows, the data flowing between the two servers: the target stores
// from a passive address, the source sends to it. One copy at a time. Only a
// file is copied, never onto itself, and an existing target is replaced only
// when the user agrees (with "Confirm before overwriting files" on). A file
// the target holds is replaced only by a whole copy: the copy is stored under
// an unused temporary name beside it and renamed over it at the end. Where the
// target will not create that file, the user may have the copy stored onto
// the file itself.
class ServerCopy : public QObject
{
    Q_OBJECT
public:
    // `otherWorkRuns` tells whether a batch or walk runs (a copy waits for none).
    ServerCopy(ServerSlots &serverSlots, OverwriteQuestions &questions, std::function<bool()> otherWorkRuns,
               QWidget *owner, QObject *parent = nullptr);

    static inline const QString kSameFileText =
        QStringLiteral("The source and the target are the same file: a file cannot be copied onto itself.");
    static inline const QString kOnlyFilesText = QStringLiteral("Only files can be copied between servers: ");

    // Starts a copy from slot `source` to the other slot; false when nothing started.
    bool CmdToFTP_Click(int source);
    // A copy, its clean-up or its message to the user is under way.
    bool Running() const;

    // A finished operation of a slot; true when it belonged to the copy.
    bool FtpCmd_JobDone(int slot, bool success, long lastAct);
    // A slot's session ended: a copy involving it ends with its message.
    void SessionEnded(int slot);
    // Ends a running copy without a message (the window closes).
    void EndQuietly();
    // The exit question's line on a running copy: which file it copies and
    // what stopping it leaves on the target (empty when no copy runs).
    QString ExitNotice() const;
    // The window closes: a running copy is stopped, its temporary file
    // deleted where the target allows, and the user told what is left there.
    // The target's answers are waited for at most kExitWaitMs.
    void StopForExit();
    static constexpr int kExitWaitMs = 5000;
    // How long a store given an empty data connection has to end before ABOR.
    static constexpr int kStoreEndWaitMs = 2000;
    // How long a source's failure waits for the target's reply to its STOR.
    static constexpr int kStoreReplyWaitMs = 2000;
    // Where the copy stores beside the file the target holds (empty: under the file's own name, or not chosen yet).
    QString TemporaryPath() const;

signals:
    void copyEnded(bool success);

private:
    enum class End { Done, Failed, Lost, Quiet, Stopped };
    // Probing: a name the target's pane does not list is looked for on the
    // target's server (the listing may be old or leave dot files out).
    // Asking: the target holds it and the overwrite question is waited for.
    // Checking: the source is asked whether it still holds the file, before
    // the target is touched. Copying: the target stores, the source sends;
    // the copy is done only once both said so, in either order. Confirming:
    // the target is asked the stored file's size, which must be the source's.
    // Naming: the target is asked whether a temporary name is free.
    // Offering: the target would not create the temporary file; the user is
    // asked whether the copy goes onto the file itself.
    // Placing: the stored copy is renamed over the file the target held.
    // Verifying: the target said it renamed the copy; its size under the
    // file's name must be the copy's.
    // Discarding: the target would not rename it; the copy is removed and
    // stored under its own name instead.
    // Cleaning: the copy failed after the target's STOR; the temporary file,
    // or an empty file it left where there was none, is removed.
    enum class Phase {
        Idle, Probing, Asking, Checking, Naming, Copying, Offering, Confirming, Placing, Verifying, Discarding, Cleaning
    };
    // WaitForSource: the clean-up has ended; the source's stop has not.
    enum class Clean { WaitForTarget, Sizing, Deleting, WaitForSource };

    void targetProbed(bool success);
    // Asks the overwrite question for a file the target was found to hold.
    void askOverwrite();
    using Step = void (ServerCopy::*)();
    // True when a side is busy with an operation of its own (one the user
    // started there while the copy did not need it): `step` then runs once
    // that has ended, since an engine takes one operation at a time.
    bool waitForSides(Step step);
    void checkSource();
    void sourceChecked(bool success);
    void startStore();
    // Asks the target whether a new temporary name is in use.
    void nameTemporary();
    void temporaryNamed(bool success);
    // Both ends said the whole file went across, and the target holds as much.
    void storedWhole();
    void placed(bool success);
    void placedChecked(bool success);
    // The target refused the temporary file for its name or the folder's rights.
    bool temporaryNotCreated() const;
    // The target refused the temporary file outright: the user is asked.
    void temporaryRefused();
    void askStoreOver();
    // Stores under the file's own name, once the target was asked to remove the temporary copy.
    void storeDirectly(bool removed);
    // Stores onto the target's file itself from now on; `because` says why (for a failure's message).
    void storeOver(const QString &because);
    // Forgets what a store attempt and its transfer said, before a new one.
    void forgetStore();
    // A side's transfer ended with its success reply; the other's may still come.
    void sideSucceeded(bool source);
    // The source failed before the target answered its STOR: that answer decides, within kStoreReplyWaitMs.
    void awaitStoreReply();
    // Both ends said the file went across: the stored copy is checked.
    void bothEnded();
    void confirmStored(bool success);
    // The copy failed at `finished` (the slot whose operation or session ended, -1: none).
    void fail(End how, int finished);
    // The target waits in STOR: ended by an empty data connection while its
    // server takes one (many read no ABOR then), else by ABOR.
    void stopTarget();
    void cleanTarget(bool success, long lastAct);
    void finish(End how);
    // Tells the user which file was not copied and why, once the reply
    // handling that found it is over.
    void report(End how, int slot, bool sourceSide, const QString &sourcePath, const QString &targetPath);
    void showLater(const QString &text, bool lost);
    // A side whose session ended while the copy stopped it: named in the held report.
    void noteStopEnded(int slot);
    // The last store may have written to the target.
    bool storeMayHaveWritten() const;
    // The copy was stored onto the target's file itself, and may have written there.
    bool storedOverMayHaveWritten() const;
    // What the file stored over holds now (m_leftSize), for a failure's message.
    QString storedOverText() const;
    // The temporary file may hold what a store wrote there.
    bool temporaryMayExist() const;
    // Aborts the operations of the copy that a side still runs.
    void abortSides();
    // The message after a stop for the window's close: what is left on the target.
    QString stoppedText(const QString &leftOver) const;
    // The temporary file stays on the target: `refusal` says why it was not
    // removed (empty: the session ended first).
    void noteLeftOver(const QString &refusal);

    // Both sessions are up and idle, and nothing else runs.
    bool mayStart(int source, int target);
    bool sideBusyWith(int slot, long act) const;

    ServerSlots &m_slots;
    OverwriteQuestions &m_questions;
    std::function<bool()> m_otherWorkRuns;
    QPointer<QWidget> m_owner;
    // Per slot: the last refusal or error while the copy ran.
    std::array<QString, 2> m_reasons;
    QString m_name; // the file's name in both folders
    QString m_targetFolder;
    QString m_storePath;           // where the target stores: the temporary name, or the file's own
    int m_namesTried = 0;
    QString m_storedOverBecause;  // why the copy is stored onto the target's file itself (empty: it is not)
    Phase m_phase = Phase::Idle;
    Clean m_clean = Clean::WaitForTarget;
    End m_failure = End::Failed;
    bool m_targetHeld = false;         // the target held the name, or could not say, before the copy
    bool m_storeSent = false;          // the target's STOR went out
    int m_storesSent = 0;              // the STORs sent (the engine may repeat one)
    int m_storesRefused = 0;           // those refused before the server opened the file
    QString m_storeRefusal;            // the code of the last such refusal
    bool m_awaitingStoreReply = false; // the first reply to the last STOR is still to come
    bool m_sourceFailedFirst = false;  // the source failed while the target's reply to STOR was owed
    Step m_waitingStep = nullptr;      // the step that waits for a busy side
    bool m_sourceSent = false;         // the source's RETR ended with its success reply
    bool m_targetStored = false;       // the target's STOR ended with its success reply
    qint64 m_sourceSize = -1;          // what the source's SIZE said; -1: it said nothing usable
    bool m_reportPending = false;
    // A failure told once the temporary file's clean-up has ended, so the
    // message can say whether that file stays.
    QString m_heldReport;
    bool m_heldReportLost = false;
    // The failure stopped a side: it is told once the stops have ended, so
    // a session ended over one is named with it.
    bool m_reportAfterStops = false;
    QString m_leftOver; // the user is still to be told of a temporary file left on the target
    qint64 m_leftSize = -1;     // after a failed store under the file's own name: what the target holds there
    bool m_leftRemoved = false; // the clean-up deleted what the failed store left
    bool m_exiting = false;     // stopped for the window's close: its end is told at once, nothing is listed
    QString m_exitReport;
    quint64 m_reportSerial = 0;
};
