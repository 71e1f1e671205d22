// Fills the lists whose rows are measured as they come, offscreen in the real
// windows, and prints what one row costs:
// - the local pane of the main window (1000x700) listing a folder of N files
//   of several types, each with a time of its own (every date another text);
// - the upload confirmation list with N rows, names in Latin letters and in
//   another script (drawn in a fallback font, so measured for the row height);
// - the Folders Compare window (900x600) comparing that folder with an empty
//   one, every file a result row whose size is measured for the Size column.
//
//   pane_lists [--rows N]...      (default 1000 and 10000)
#include "FolderComparison.h"
#include "LocalPane.h"
#include "RecordingIntake.h"
#include "StubWindow.h"
#include "frmCompare.h"
#include "frmFileConfirm.h"
#include "frmZAVUde.h"
#include "WindowBenchArgs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include <cstdio>

namespace {

const char *const kExtensions[] = {".txt", ".jpg", ".pdf", ".sh", ".html", ".zip", ".tar.gz", ".odt"};

bool writeFolder(const QString &folder, int rows)
{
    const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
    for (int i = 0; i < rows; ++i) {
        QFile file(folder + QStringLiteral("/file-%1%2").arg(i, 5, 10, QLatin1Char('0')).arg(QLatin1String(kExtensions[i % 8])));
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1)
            return false;
        // Every file another minute: every date another text.
        if (!file.setFileTime(start.addSecs(61LL * i), QFileDevice::FileModificationTime))
            return false;
    }
    return true;
}

// Milliseconds for the local pane to list the folder, the best of three.
double listLocal(const QString &folder)
{
    frmZAVUde window;
    window.resize(1000, 700);
    window.show();
    QApplication::processEvents();
    double best = 1e12;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer clock;
        clock.start();
        if (!window.Local()->LoadLocalFolders(folder))
            return -1;
        QApplication::processEvents(); // the fits run once the rows are in
        best = qMin(best, static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Milliseconds to fill and show the confirmation list.
double fillConfirmation(int rows, const QString &stem, const QString &location)
{
    frmFileConfirm dialog;
    QElapsedTimer clock;
    clock.start();
    dialog.SetAction(frmFileConfirm::kUpload);
    const QDateTime modified(QDate(2026, 3, 4), QTime(5, 6));
    for (int i = 0; i < rows; ++i)
        dialog.AddRow(i, stem + QString::number(i) + QStringLiteral(".txt"), 4096, location,
                      modified.toString(), modified);
    dialog.FinishRows();
    dialog.show();
    QApplication::processEvents();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Milliseconds for the compare window to compare the folder with an empty one.
double compareWithEmpty(const QString &folder, int rows)
{
    StubWindow main;
    RecordingIntake intake; // no job is made
    QTemporaryDir empty;
    frmCompare form(main, &intake);
    form.resize(900, 600);
    form.show();
    QApplication::processEvents();
    form.SetLocalLocation(0, folder);
    form.SetLocalLocation(1, empty.path());
    QElapsedTimer clock;
    clock.start();
    form.CmdSearch_Click();
    while (form.Comparison().Running())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QApplication::processEvents();
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return form.Model()->size() == rows ? ms : -1;
}

} // namespace

int main(int argc, char **argv)
{
    const OffscreenBenchHome home;
    QApplication app(argc, argv);
    const auto read = ReadBenchCounts(app.arguments().mid(1), QLatin1String("--rows"), {1000, 10000});
    if (!read) {
        std::fprintf(stderr, "usage: pane_lists [--rows N]...\n");
        return 2;
    }
    const QList<int> counts = read->counts;
    for (int rows : counts) {
        QTemporaryDir folder;
        if (!writeFolder(folder.path(), rows)) {
            std::fprintf(stderr, "could not write %d files\n", rows);
            return 1;
        }
        const double local = listLocal(folder.path());
        const double latin = fillConfirmation(rows, QStringLiteral("quarterly_report_"), folder.path());
        const double other = fillConfirmation(rows, QStringLiteral("ünïcödé_日本語_"), folder.path() + QStringLiteral("/資料"));
        const double compare = compareWithEmpty(folder.path(), rows);
        std::printf("rows=%d local_list_ms=%.1f (%.1f us/row) confirm_latin_ms=%.1f (%.1f us/row) "
                    "confirm_other_script_ms=%.1f (%.1f us/row) compare_window_ms=%.1f (%.1f us/row)\n",
                    rows, local, local * 1000 / rows, latin, latin * 1000 / rows, other, other * 1000 / rows, compare,
                    compare * 1000 / rows);
    }
    return 0;
}
