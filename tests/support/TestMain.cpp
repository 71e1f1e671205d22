// Entry point of every test executable: offscreen Qt, a fixed locale and time
// zone, and a private data root so tests never touch the user's files.
#include "WhenModal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <ctime>

namespace {

// Ends each test's pending WhenModal waits before the test's result is printed.
class ModalWaitsEndWithTheirTest : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo &) override { FailPendingModalWaits(); }
};

} // namespace

#ifdef FTPQOR_LSAN_SUPPRESSIONS
// Asked for by the sanitizer runtime before main; the environment's options,
// when set, still come first. A test fails on any report, but leaks inside the
// system's own libraries (fontconfig, glib) are suppressed.
extern "C" const char *__asan_default_options() { return "detect_leaks=1:abort_on_error=0:halt_on_error=1"; }
extern "C" const char *__ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
extern "C" const char *__lsan_default_options()
{
    return "suppressions=" FTPQOR_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TZ", "UTC");
    tzset();
    QTemporaryDir dataRoot;
    qputenv("FTPQOR_HOME", dataRoot.path().toUtf8());
    // XDG folders as well, for the code that writes desktop integration files.
    qputenv("XDG_CONFIG_HOME", (dataRoot.path() + QStringLiteral("/xdg-config")).toUtf8());
    qputenv("XDG_DATA_HOME", (dataRoot.path() + QStringLiteral("/xdg-data")).toUtf8());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ftpqor-tests"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    ::testing::InitGoogleTest(&argc, argv);
    // Test-end events go to the listeners last appended first: before the printer's.
    ::testing::UnitTest::GetInstance()->listeners().Append(new ModalWaitsEndWithTheirTest);
    return RUN_ALL_TESTS();
}
