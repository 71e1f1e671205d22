#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>

class FtpCommander;
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
    // What each phase waits for, and what follows its end: kPhaseEnds.
    enum class Phase {
        Idle, Probing, Asking, Checking, Naming, Copying, Offering, Confirming, Placing, Verifying, Discarding, Cleaning
    };
    enum class Side { Source, Target };
    struct PhaseEnd {
        Phase phase;
        Side side;
        long act;                             // the engine operation that ends it
        void (ServerCopy::*ended)(bool success); // what follows (none: nothing)
    };
    static const PhaseEnd kPhaseEnds[];
    // The stages of Cleaning. WaitForSource: the clean-up has ended; the source's stop has not.
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
    // The ends of the target's store and of the source's sending.
    void storeEnded(bool success);
    void sendEnded(bool success);
    // A side's transfer ended with its success reply; the other's may still come.
    void sideSucceeded(bool source);
    // The source failed before the target's STOR was answered, or before a refused STOR's operation ended: the
    // target's end decides, within kStoreReplyWaitMs.
    void awaitStoreReply();
    // Both ends said the file went across: the stored copy is checked.
    void bothEnded();
    void confirmStored(bool success);
    // The copy failed at `finished` (the slot whose operation or session ended, -1: none).
    void fail(End how, int finished);
    // The target waits in STOR: ended by an empty data connection while its
    // server takes one (many read no ABOR then), else by ABOR.
    void stopTarget();
    // The clean-up goes on once the target's store has ended: what it may
    // have left is removed (a temporary file) or sized (the file's own name).
    void cleanTarget();
    // The clean-up is at `stage` with the target's session up; otherwise it goes on from where it is.
    bool cleaningAt(Clean stage);
    void targetStopped(bool success);
    void leftSized(bool success);
    void leftDeleted(bool success);
    void sourceStopped(bool success);
    void finish(End how);
    // Tells the user which file was not copied and why, once the reply
    // handling that found it is over.
    void report(End how, int slot, bool sourceSide, const QString &sourcePath, const QString &targetPath);
    void showLater(const QString &text, bool lost);
    // A side whose session ended while the copy stopped it: named in the held report.
    void noteStopEnded(int slot);
    // The copy was stored onto the target's file itself, and may have written there.
    bool storedOverMayHaveWritten() const;
    // What the file stored over holds now, for a failure's message.
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

    // Enters a phase that waits for the target's answer: its engine, to ask.
    FtpCommander *askTarget(Phase phase);
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
    // What the last store attempt and its transfer said; a new attempt starts afresh.
    struct Store {
        bool sent = false;              // the target's STOR went out
        int sends = 0;                  // the STORs sent (the engine may repeat one)
        int refused = 0;                // those refused before the server opened the file
        QString refusal;                // the code of the last such refusal
        bool awaitingReply = false;     // the first reply to the last STOR is still to come
        bool sourceFailedFirst = false; // the source failed while that reply was owed
        bool sourceSent = false;        // the source's RETR ended with its success reply
        bool targetStored = false;      // the target's STOR ended with its success reply
        qint64 leftSize = -1;           // after a failed store under the file's own name: what it holds
        bool leftRemoved = false;       // the clean-up deleted what the failed store left
        // The store may have written to the target.
        bool mayHaveWritten() const { return sent && refused < sends; }
    };
    Store m_store;
    Step m_waitingStep = nullptr;      // the step that waits for a busy side
    qint64 m_sourceSize = -1;          // what the source's SIZE said; -1: it said nothing usable
    bool m_reportPending = false;
    // A failure told once the temporary file's clean-up has ended, so the
    // message can say whether that file stays.
    QString m_heldReport;
    bool m_heldReportLost = false;
    // The failure stopped a side: it is told once the stops have ended, so
    // a session ended over one is named with it.
    bool m_reportAfterStops = false;
    int m_failedSide = -1; // the slot whose end failed the copy (-1: the user stopped it)
    QString m_leftOver; // the user is still to be told of a temporary file left on the target
    bool m_exiting = false;     // stopped for the window's close: its end is told at once, nothing is listed
    QString m_exitReport;
    quint64 m_reportSerial = 0;
};
