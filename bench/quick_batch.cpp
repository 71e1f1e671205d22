// Drives the real main window offscreen through one immediate batch: logs in,
// selects every file of a remote folder and runs Quick Download into an empty
// local folder, or selects every file of a local folder and runs Quick Upload
// into a remote folder. No question is answered but "Yes"/"OK", and the list
// of files to confirm (shown for a folder with sub-folders) is answered with
// its Download or Upload button. Run by hand, side by side with a
// command-line mirror of the same folder and server.
//
//   quick_batch --host H --port P --user U --password W [--active] get REMOTE_DIR LOCAL_DIR
//   quick_batch ... put LOCAL_DIR REMOTE_DIR
//
// Exits 0 only when every file of the folder itself arrived whole (files of
// sub-folders go through the same steps but are not checked); the last line is
// "files=N bytes=B seconds=S".
#include "BatchRunner.h"
#include "BatchTransfers.h"
#include "CProfile.h"
#include "DataRoot.h"
#include "LocalPane.h"
#include "Prompts.h"
#include "RemotePane.h"
#include "ServerSlot.h"
#include "frmFileConfirm.h"
#include "frmZAVUde.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>
#include <functional>

namespace {

// Answers every prompt with its first affirmative button.
class YesPrompts final : public Prompts
{
public:
    PromptButton message(QWidget *, const MessageRequest &request) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        switch (request.buttons) {
        case PromptButtons::YesNo:
        case PromptButtons::YesNoCancel:
            return PromptButton::Yes;
        case PromptButtons::RetryCancel:
        case PromptButtons::AbortRetryIgnore:
            return PromptButton::Retry;
        default:
            return PromptButton::Ok;
        }
    }
    std::optional<QString> input(QWidget *, const InputRequest &request) override { return request.defaultText; }
    std::optional<QString> chooseFile(QWidget *, const FileRequest &) override { return std::nullopt; }
    std::optional<QFont> chooseFont(QWidget *, const QFont &, const QString &, const QList<int> &) override
    {
        return std::nullopt;
    }
};

// Runs the batch as listed when its confirmation list shows: the press comes
// from the event loop, once the list's own exec() runs.
class ConfirmAll final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *list = qobject_cast<frmFileConfirm *>(watched))
                QMetaObject::invokeMethod(list->CmdDo, &QPushButton::click, Qt::QueuedConnection);
        }
        return false;
    }
};

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

int usage()
{
    std::fprintf(stderr, "usage: quick_batch --host H --port P --user U --password W [--active] "
                         "get REMOTE_DIR LOCAL_DIR | put LOCAL_DIR REMOTE_DIR\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home; // the window's settings and caches stay out of the user's
    qputenv("FTPQOR_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    CProfile profile;
    profile.ProfileName = QStringLiteral("bench");
    profile.Server = QStringLiteral("127.0.0.1");
    profile.Port = 21;
    profile.User = QStringLiteral("anonymous");
    profile.Password = QStringLiteral("guest");
    profile.IsPassive = 1;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--host") && hasValue)
            profile.Server = args[++i];
        else if (arg == QLatin1String("--port") && hasValue)
            profile.Port = args[++i].toInt();
        else if (arg == QLatin1String("--user") && hasValue)
            profile.User = args[++i];
        else if (arg == QLatin1String("--password") && hasValue)
            profile.Password = args[++i];
        else if (arg == QLatin1String("--active"))
            profile.IsPassive = 0;
        else
            rest << arg;
    }
    if (rest.size() != 3 || (rest[0] != QLatin1String("get") && rest[0] != QLatin1String("put")))
        return usage();
    const bool get = rest[0] == QLatin1String("get");
    const QString remoteDir = get ? rest[1] : rest[2];
    const QString localDir = QDir(get ? rest[2] : rest[1]).absolutePath();
    if (!QDir().mkpath(localDir))
        return usage();

    YesPrompts prompts;
    Prompts::install(&prompts);
    ConfirmAll confirmAll;
    app.installEventFilter(&confirmAll);
    frmZAVUde window;
    window.show();
    ServerSlot *slot = window.Slot(0);
    profile.RemotePath = remoteDir;
    window.Slots()->UseProfile(0, profile, true);
    if (!waitFor([&] { return slot->SessionActive() && !slot->IsBusy() && slot->SlotRemotePath() == remoteDir; },
                 30000)) {
        std::fprintf(stderr, "could not log in and open %s\n", qPrintable(remoteDir));
        return 1;
    }
    if (!window.Local()->LoadLocalFolders(localDir))
        return 1;

    // What must arrive: name and size of every file on the sending side.
    QList<QPair<QString, qint64>> expected;
    const auto filesOf = [](const FileListModel *model) {
        QList<QPair<QString, qint64>> files;
        for (int i = 0; i < model->size(); ++i) {
            if (!model->row(i).IsFolder)
                files.append({model->row(i).Text, model->row(i).Size});
        }
        return files;
    };
    expected = filesOf(get ? window.Remote(0)->Model : window.Local()->Model);
    qint64 bytes = 0;
    for (const auto &file : expected)
        bytes += file.second;

    QElapsedTimer timer;
    timer.start();
    if (get) {
        window.Remote(0)->RightView->selectAll();
        window.Batch()->HandleFileDownloads(0, true, false, false);
    } else {
        window.Local()->LeftView->selectAll();
        window.Batch()->HandleFileUploads(0, true, false);
    }
    const bool ended = waitFor([&] { return !window.Runner()->Running() && !slot->IsBusy(); }, 3600000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;

    int whole = 0;
    if (get) {
        for (const auto &file : expected)
            whole += QFileInfo(QDir(localDir).filePath(file.first)).size() == file.second;
    } else {
        const QList<QPair<QString, qint64>> arrived = filesOf(window.Remote(0)->Model);
        for (const auto &file : expected)
            whole += arrived.contains(file);
    }
    std::printf("direction=%s mode=%s\n", get ? "get" : "put", profile.IsPassive ? "passive" : "active");
    std::printf("whole=%d of %lld\n", whole, static_cast<long long>(expected.size()));
    std::printf("files/s=%.1f\n", seconds > 0 ? expected.size() / seconds : 0.0);
    std::printf("files=%lld bytes=%lld seconds=%.3f\n", static_cast<long long>(expected.size()),
                static_cast<long long>(bytes), seconds);
    Prompts::install(nullptr);
    return ended && whole == expected.size() && !expected.isEmpty() ? 0 : 1;
}
