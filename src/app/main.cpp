#include "AppInfo.h"
#include "DataRoot.h"
#include "ModStartup.h"
#include "Prompts.h"
#include "frmSplash.h"
#include "frmCompare.h"
#include "frmSearch.h"
#include "frmZAVUde.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ftpqor"));
    QApplication::setApplicationDisplayName(AppTitle());
    QApplication::setApplicationVersion(QStringLiteral(FTPQOR_VERSION));

    if (!DataRoot::EnsureDataFolders()) {
        ShowMessage(nullptr, PromptIcon::Critical, PromptButtons::Ok, AppTitle(),
                    QStringLiteral("Cannot create the data folder ") + DataRoot::AppPath());
        return 1;
    }

    // One instance per user: a second start hands its command line to the first and ends.
    ModStartup &startup = ModStartup::Program();
    std::unique_ptr<frmZAVUde> mainWindow;
    const bool firstInstance = Main(startup, QApplication::arguments(), [&] {
        mainWindow = std::make_unique<frmZAVUde>(&startup);
        frmZAVUde *window = mainWindow.get();
        window->SetWindowFactory(QStringLiteral("cmp"), [window](QWidget *owner) {
            return new frmCompare(*window, window->JobsIntake(), owner);
        });
        window->SetWindowFactory(QStringLiteral("srch"), [window](QWidget *owner) {
            return new frmSearch(*window, window->JobsIntake(), owner);
        });
        auto *splash = new frmSplash(*mainWindow);
        splash->Load();
    });
    if (!firstInstance || !mainWindow)
        return 0;
    return QApplication::exec();
}
