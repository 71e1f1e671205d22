#include "DataRoot.h"
#include "ErrorLog.h"
#include "StoredFile.h"

#include <QFile>

#include <gtest/gtest.h>

TEST(ErrorLog, LineHasTheFixedLayout)
{
    const QDateTime when(QDate(2009, 8, 30), QTime(13, 5, 7));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(FormatErrorLogLine(when, us, QStringLiteral("ModFTPTrelm"), QStringLiteral("mySplit"), 9,
                                 QStringLiteral("Subscript out of range")),
              QStringLiteral("8/30/09 1:05:07 PM: ModFTPTrelm.mySplit -->{9} Subscript out of range"));
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(FormatErrorLogLine(when, de, QStringLiteral("A"), QStringLiteral("B"), 5, QStringLiteral("x")),
              QStringLiteral("30.08.09 13:05:07: A.B -->{5} x"));
}

TEST(ErrorLog, AppendsCrLfLinesAndTraceMarkersEndEmpty)
{
    const QString path = DataRoot::FileInRoot(QStringLiteral("error.log"));
    ASSERT_TRUE(DataRoot::EnsureDataFolders());
    QFile::remove(path);
    LogErrorToFile(QStringLiteral("FtpCommander"), QStringLiteral("IncrProc{cInfo}"));
    try {
        throw RuntimeError(ErrorNumber::DivisionByZero, QStringLiteral("Division by zero"));
    } catch (...) {
        LogCurrentException(QStringLiteral("Obj"), QStringLiteral("Proc"));
    }
    const QByteArray log = *StoredFile::ReadAll(path);
    const QList<QByteArray> lines = log.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].endsWith(": FtpCommander.IncrProc{cInfo} -->{0} \r")) << lines[0].constData();
    EXPECT_TRUE(lines[1].endsWith(": Obj.Proc -->{11} Division by zero\r")) << lines[1].constData();
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST(ErrorLog, UnwritableLogIsIgnored)
{
    const QByteArray old = qgetenv("FTPQOR_HOME");
    qputenv("FTPQOR_HOME", "/nonexistent/ftpqor-test");
    LogErrorToFile(QStringLiteral("A"), QStringLiteral("B"), 1, QStringLiteral("never written"));
    qputenv("FTPQOR_HOME", old);
    SUCCEED();
}
