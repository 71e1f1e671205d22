// When an upload is done: the engine sent the last block and closed the data
// connection itself, and the server's copy is as long as the file. A proxy in
// front of the scripted server cuts the data connection on the way; the
// server takes the early end for the end of the file and answers 226.
#include "CuttingProxy.h"
#include "ScriptedEngineTest.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 kCut = 500000;

class UploadEnd : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        ASSERT_TRUE(proxy.listen(server.port()));
        ASSERT_TRUE(LogIn(engine, recorder, proxy.host(), proxy.port(), QStringLiteral("bob"), QStringLiteral("pw")));
        ASSERT_TRUE(WriteFileBytes(path(), content));
    }

    QString path() const { return local.filePath(QStringLiteral("up.bin")); }

    // Sends the file and waits for the operation's end; its success.
    bool send()
    {
        const int jobs = recorder.jobDone;
        engine.FTP_SEND_FILE(path(), QStringLiteral("/up.bin"), content.size(), false);
        return recorder.waitForJobs(jobs + 1) && engine.LastCmdSucces();
    }

    CuttingProxy proxy;
    const QByteArray content = PatternBytes(2 * 1024 * 1024);
};

} // namespace

TEST_F(UploadEnd, WithoutSizeAnUploadIsDoneOnlyWhenTheEngineEndedItItself)
{
    server.on("SIZE", QByteArray("502 Command not implemented."));
    EXPECT_TRUE(send()); // the server cannot tell sizes: its 226 is taken at its word
    EXPECT_TRUE(server.storedData() == content);

    proxy.setCut(kCut, CuttingProxy::Cut::ClientSeesClose);
    EXPECT_FALSE(send());
    EXPECT_EQ(server.storedData().size(), kCut);
    EXPECT_TRUE(recorder.messages.contains(
        QStringLiteral("The data connection closed before the whole file was sent; the upload failed.")));
    EXPECT_TRUE(engine.SessionActive());
}

TEST_F(UploadEnd, AStoredFileShorterThanTheFileSentFailsTheUpload)
{
    proxy.setCut(kCut, CuttingProxy::Cut::ClientNotTold);
    EXPECT_FALSE(send());
    EXPECT_EQ(server.storedData().size(), kCut);
    EXPECT_TRUE(recorder.messages.contains(
        QStringLiteral("The server holds %1 of the file's %2 bytes; the upload failed.").arg(kCut).arg(content.size())));

    proxy.setCut(-1, CuttingProxy::Cut::ClientNotTold);
    EXPECT_TRUE(send());
    EXPECT_TRUE(server.storedData() == content);
    EXPECT_EQ(server.commandCount("SIZE /up.bin"), 2);
}

// A server that ends an upload with another success reply than 226 ("250
// Requested file action okay, completed.") is held to the same checks.
TEST_F(UploadEnd, AnyReplyThatLetsAnUploadEndIsCheckedForTheWholeFile)
{
    server.setTransferDoneReply("250 Requested file action okay, completed.");
    proxy.setCut(kCut, CuttingProxy::Cut::ClientSeesClose);
    EXPECT_FALSE(send());
    EXPECT_EQ(server.storedData().size(), kCut);
    EXPECT_TRUE(recorder.messages.contains(
        QStringLiteral("The data connection closed before the whole file was sent; the upload failed.")));

    proxy.setCut(kCut, CuttingProxy::Cut::ClientNotTold);
    EXPECT_FALSE(send());
    EXPECT_TRUE(recorder.messages.contains(
        QStringLiteral("The server holds %1 of the file's %2 bytes; the upload failed.").arg(kCut).arg(content.size())));

    proxy.setCut(-1, CuttingProxy::Cut::ClientNotTold);
    EXPECT_TRUE(send());
    EXPECT_TRUE(server.storedData() == content);
    EXPECT_TRUE(engine.SessionActive());
}
