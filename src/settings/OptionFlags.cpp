#include "OptionFlags.h"

#include "ErrorLog.h"

namespace {

using enum OptionFlag;
using enum OptionPage;

std::array<OptionFlagInfo, OptionFlagCount> BuildTable()
{
    return {{
        {MaintainWindowPosition, General, 1, QStringLiteral("Maintain last used window position")},
        {StartMinimised, General, 2, QStringLiteral("Start Minimised")},
        {ShowInfoInTray, General, 3, QStringLiteral("Show info in system tray")},
        {EnableShellMenu, General, 4,
         QStringLiteral("Enable shell menu (Context menu for local files and folders)")},
        {DoNotListFtpContent, General, 5,
         QStringLiteral("Do not list ftp content (Avoid hang while listing directories and files)")},
        {DeleteTempFilesBeforeClosing, General, 6, QStringLiteral("Delete temporary files before closing")},
        {ConfirmDeletingTempFiles, General, 7, QStringLiteral("Confirm before deleting temporary files")},
        {PromptPendingJobsOnStartup, General, 8, QStringLiteral("Prompt on startup if pending jobs are found")},
        {DualConnectionMode, General, 9,
         QStringLiteral("Load dual connection mode (The only way to use FXP transfer)")},
        {MinimiseOnClose, General, 10, QStringLiteral("Minimise when closing from control box (X button)")},
        {CheckForNewVersion, General, 11, QStringLiteral("Automatically check for new version (Once a week)")},
        {FullRowSelection, General, 12, QStringLiteral("Enable full row selection for file listings (Listviews)")},

        {AutoStartJobs, Jobs, 1, QStringLiteral("Auto start jobs on job creation")},
        {ClearCompletedJobs, Jobs, 2, QStringLiteral("Clear completed jobs once batch is complete")},
        {AutoSavePendingJobs, Jobs, 3, QStringLiteral("Auto-save pending jobs upon exit")},
        {AutoSaveFailedJobs, Jobs, 4, QStringLiteral("Auto-save failed jobs upon exit")},
        {LoadSavedJobsOnStartup, Jobs, 5, QStringLiteral("Load saved jobs on startup")},
        {ConfirmOverwrite, Jobs, 6, QStringLiteral("Confirm before overwriting files")},
        {SkipDownloadResumeIfRemoteTimeChanged, Jobs, 7,
         QStringLiteral("Skip download resume if ftp file' modification time changed")},
        {SkipUploadResumeIfLocalTimeChanged, Jobs, 8,
         QStringLiteral("Skip upload resume if local file' modification time changed")},
        {SkipResumeIfSourceSizeChanged, Jobs, 9,
         QStringLiteral("Skip download and upload resume if source file's size changed")},
        {SkipDownloadIfLocalExists, Jobs, 10, QStringLiteral("Skip download if local file already exists")},
        {StartOnSystemStartupWithPendingJobs, Jobs, 11,
         QStringLiteral("Start Ftp Qor on system startup if there are pending jobs")},

        {FilterLocalHistoryByProfile, History, 1,
         QStringLiteral("Filter local folder history based on active profile")},
        {NavigateToProfileLocalFolder, History, 2,
         QStringLiteral("Navigate to local folder if profile has startup local folder")},
        {ManageFtpFolderHistory, History, 3,
         QStringLiteral("Manage ftp folder history (Will show up in quick menu)")},
        {AutoDeleteMissingFtpFolders, History, 4, QStringLiteral("Auto delete non-existent ftp folder history")},
        {UseListingCache, History, 5, QStringLiteral("Use cache for ftp directory listing")},
        {ClearLogsOnNewConnection, History, 6, QStringLiteral("Clear all logs when opening new connection")},
        {SaveLogsBeforeRemoving, History, 7, QStringLiteral("Save logs before removing them from list")},

        {AssociateJobFileType, System, 1, QStringLiteral("Associate job file type (*.xqr) with Ftp Qor")},
        {EnableSoundAlerts, System, 2, QStringLiteral("Enable sound alerts")},
        {EnableEditorViewer, System, 3, QStringLiteral("Enable Editor / Viewer for ftp files")},
        // Shown with one "&": the doubled one is the check box's escape for a literal "&".
        {PromptUploadExternalEdits, System, 4,
         QStringLiteral("Prompt && Upload files edited with external editors")},
        {PromptLargeFileEditView, System, 5,
         QStringLiteral("Prompt if request Ftp file for Edit/View, is larger than 500KB")},
    }};
}

// The program-wide switches.
std::array<bool, OptionFlagCount> g_optionFlags{};

} // namespace

const std::array<OptionFlagInfo, OptionFlagCount> &OptionFlagTable()
{
    static const auto table = BuildTable();
    return table;
}

const OptionFlagInfo &OptionFlagInfoOf(OptionFlag flag)
{
    return OptionFlagTable().at(static_cast<size_t>(flag));
}

int OptionPageSize(OptionPage page)
{
    switch (page) {
    case General: return 12;
    case Jobs: return 11;
    case History: return 7;
    case System: return 5;
    }
    return 0;
}

QList<OptionFlag> OptionPageFlags(OptionPage page)
{
    QList<OptionFlag> flags;
    for (const OptionFlagInfo &info : OptionFlagTable()) {
        if (info.page == page)
            flags.append(info.flag);
    }
    return flags;
}

std::optional<OptionFlag> FindOptionFlag(const QString &caption)
{
    for (const OptionFlagInfo &info : OptionFlagTable()) {
        if (info.caption == caption)
            return info.flag;
    }
    return std::nullopt;
}

bool IsOptionOn(OptionFlag flag)
{
    return g_optionFlags.at(static_cast<size_t>(flag));
}

bool IsOptionOn(const QString &caption)
{
    const auto flag = FindOptionFlag(caption);
    if (!flag) {
        LogErrorToFile(QStringLiteral("OptionFlags"), QStringLiteral("IsOptionOn"), ErrorNumber::InvalidProcedureCall,
                       QStringLiteral("Unknown option: ") + caption);
        return false;
    }
    return IsOptionOn(*flag);
}

void SetOptionFlag(OptionFlag flag, bool on)
{
    g_optionFlags.at(static_cast<size_t>(flag)) = on;
}

void SetOptionFlagsFromStrings(const QStringList &optionStrings)
{
    for (const OptionFlagInfo &info : OptionFlagTable()) {
        const int page = static_cast<int>(info.page);
        const QString digits = page < optionStrings.size() ? optionStrings.at(page) : QString();
        const int at = info.position - 1;
        SetOptionFlag(info.flag, at < digits.size() && digits.at(at) == QLatin1Char('1'));
    }
}
