#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The four pages of option check boxes, in the order their digit strings are
// stored.
enum class OptionPage { General = 0, Jobs = 1, History = 2, System = 3 };
constexpr int OptionPageCount = 4;

// The program-wide option switches, one per check box of the settings dialog,
// page by page in digit order.
enum class OptionFlag {
    // General
    MaintainWindowPosition,
    StartMinimised,
    ShowInfoInTray,
    EnableShellMenu,
    DoNotListFtpContent,
    DeleteTempFilesBeforeClosing,
    ConfirmDeletingTempFiles,
    PromptPendingJobsOnStartup,
    DualConnectionMode,
    MinimiseOnClose,
    CheckForNewVersion,
    FullRowSelection,
    // Jobs
    AutoStartJobs,
    ClearCompletedJobs,
    AutoSavePendingJobs,
    AutoSaveFailedJobs,
    LoadSavedJobsOnStartup,
    ConfirmOverwrite,
    SkipDownloadResumeIfRemoteTimeChanged,
    SkipUploadResumeIfLocalTimeChanged,
    SkipResumeIfSourceSizeChanged,
    SkipDownloadIfLocalExists,
    StartOnSystemStartupWithPendingJobs,
    // History & Logs
    FilterLocalHistoryByProfile,
    NavigateToProfileLocalFolder,
    ManageFtpFolderHistory,
    AutoDeleteMissingFtpFolders,
    UseListingCache,
    ClearLogsOnNewConnection,
    SaveLogsBeforeRemoving,
    // System
    AssociateJobFileType,
    EnableSoundAlerts,
    EnableEditorViewer,
    PromptUploadExternalEdits,
    PromptLargeFileEditView,
};
constexpr int OptionFlagCount = 35;

struct OptionFlagInfo {
    OptionFlag flag;
    OptionPage page;
    int position; // 1-based digit position within the page's string
    QString caption;
};

// Every flag with its page, digit position and check-box caption.
const std::array<OptionFlagInfo, OptionFlagCount> &OptionFlagTable();
const OptionFlagInfo &OptionFlagInfoOf(OptionFlag flag);
// Number of check boxes on a page (12, 11, 7, 5).
int OptionPageSize(OptionPage page);
// The flags of one page, in digit order.
QList<OptionFlag> OptionPageFlags(OptionPage page);

// The flag whose check-box caption is exactly `caption`.
std::optional<OptionFlag> FindOptionFlag(const QString &caption);

// The program-wide value of a flag (all off until the settings are applied).
bool IsOptionOn(OptionFlag flag);
// The same, looked up by the check-box caption; an unknown caption is logged
// and reads as off.
bool IsOptionOn(const QString &caption);
void SetOptionFlag(OptionFlag flag, bool on);

// Sets every flag from the four stored digit strings: a flag is on exactly when
// its digit is "1"; a missing digit reads as off.
void SetOptionFlagsFromStrings(const QStringList &optionStrings);
