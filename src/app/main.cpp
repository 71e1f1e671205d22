#include "AppInfo.h"
#include "DataRoot.h"
#include "ErrorLog.h"
#include "ModTimeZone.h"
#include "Prompts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ftpqor"));
    QApplication::setApplicationDisplayName(AppTitle());

    if (!DataRoot::EnsureDataFolders()) {
        ShowMessage(nullptr, PromptIcon::Critical, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("Cannot create the data folder ") + DataRoot::AppPath());
        return 1;
    }
    InitTimeZoneSettings();

    ShowMessage(nullptr, PromptIcon::Information, PromptButtons::Ok, AppTitle(),
                QStringLiteral("Ftp Qor is being built: its main window is not there yet.\n"
                               "Data folder: ") + DataRoot::AppPath());
    return 0;
}
