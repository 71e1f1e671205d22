// What the server holds under a name, one rule for every caller: SIZE in
// binary mode, MDTM where SIZE is not understood (500, 502, 504) or the time
// is asked for; the session is left in the type it was in.
#include "ScriptedEngineTest.h"

#include <gtest/gtest.h>

namespace {

struct HeldCase {
    const char *name;
    QByteArray size;       // SIZE's reply
    QByteArray mdtm;       // MDTM's reply ("": the server's default, a time)
    QByteArray type;       // TYPE's reply ("": 200)
    bool withTime = false;
    bool binaryBefore = false; // TYPE I typed by hand first
    QByteArray typeBefore;     // its reply ("": 200)
    HeldFile::Answer answer;
    qint64 heldSize;
    QString time;
    std::string commands;
};

const QString kTime = QStringLiteral("20090830120000");

class HeldFileCheck : public ScriptedEngineTest, public ::testing::WithParamInterface<HeldCase>
{
};

} // namespace

TEST_P(HeldFileCheck, TellsWhatTheServerHoldsAndLeavesTheType)
{
    const HeldCase &c = GetParam();
    ASSERT_TRUE(logIn());
    server.on("SIZE", c.size);
    if (!c.mdtm.isEmpty())
        server.on("MDTM", c.mdtm);
    if (c.binaryBefore) {
        if (!c.typeBefore.isEmpty())
            server.on("TYPE", c.typeBefore);
        engine.FTP_CUSTOM_COMMAND(QStringLiteral("TYPE I"), QString(), QStringLiteral("2XX"));
        ASSERT_TRUE(recorder.waitForJobs(2));
    }
    if (!c.type.isEmpty())
        server.on("TYPE", c.type);
    else
        server.off("TYPE");
    const qsizetype before = server.commands().size();
    const int jobs = recorder.jobDone;
    engine.FTP_FILE_SIZE(QStringLiteral("/f.bin"), c.withTime);
    ASSERT_TRUE(recorder.waitForJobs(jobs + 1));
    EXPECT_TRUE(engine.LastCmdSucces());
    EXPECT_EQ(engine.LastAct(), FtpCommander::ActFileSize);
    const HeldFile &held = engine.LastHeldFile();
    EXPECT_EQ(held.answer, c.answer);
    EXPECT_EQ(held.size, c.heldSize);
    EXPECT_EQ(held.time, c.time);
    EXPECT_EQ(server.commands().mid(before).join('\n').toStdString(), c.commands);
    EXPECT_TRUE(engine.SessionActive());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, HeldFileCheck,
    ::testing::Values(
        HeldCase{"Sized", "213 600", "", "", false, false, {}, HeldFile::Answer::File, 600, QString(),
                 "TYPE I\nSIZE /f.bin\nTYPE A"},
        HeldCase{"SizedWithTime", "213 600", "", "", true, false, {}, HeldFile::Answer::File, 600, kTime,
                 "TYPE I\nSIZE /f.bin\nMDTM /f.bin\nTYPE A"},
        HeldCase{"BinaryAlready", "213 600", "", "", false, true, {}, HeldFile::Answer::File, 600, QString(),
                 "SIZE /f.bin"},
        // A TYPE I the server refused left the session in its type.
        HeldCase{"BinaryRefusedBefore", "213 600", "", "", false, true, "504 Type not supported.",
                 HeldFile::Answer::File, 600, QString(), "TYPE I\nSIZE /f.bin\nTYPE A"},
        HeldCase{"NoFile", "550 No such file.", "", "", false, false, {}, HeldFile::Answer::NoFile, -1, QString(),
                 "TYPE I\nSIZE /f.bin\nTYPE A"},
        HeldCase{"SizeNotImplementedTimeFound", "502 Command not implemented.", "", "", false, false, {},
                 HeldFile::Answer::File, -1, kTime, "TYPE I\nSIZE /f.bin\nMDTM /f.bin\nTYPE A"},
        HeldCase{"SizeUnknownNoFile", "500 Unknown command.", "550 No such file.", "", false, false, {},
                 HeldFile::Answer::NoFile, -1, QString(), "TYPE I\nSIZE /f.bin\nMDTM /f.bin\nTYPE A"},
        HeldCase{"NeitherUnderstood", "504 Not for this type.", "502 Command not implemented.", "", false, false, {},
                 HeldFile::Answer::CannotTell, -1, QString(), "TYPE I\nSIZE /f.bin\nMDTM /f.bin\nTYPE A"},
        HeldCase{"Busy", "450 Busy.", "", "", false, false, {}, HeldFile::Answer::Refused, -1, QString(),
                 "TYPE I\nSIZE /f.bin\nTYPE A"},
        HeldCase{"NotAllowed", "553 Not allowed.", "", "", false, false, {}, HeldFile::Answer::Refused, -1, QString(),
                 "TYPE I\nSIZE /f.bin\nTYPE A"},
        HeldCase{"NoBinaryType", "213 600", "", "504 Type not supported.", false, false, {}, HeldFile::Answer::File, -1,
                 kTime, "TYPE I\nMDTM /f.bin"}),
    [](const ::testing::TestParamInfo<HeldCase> &info) { return std::string(info.param.name); });
