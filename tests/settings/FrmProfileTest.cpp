// The profile editor on real widgets, answering its prompts from a script.
#include "FrmProfile.h"
#include "ModProfile.h"
#include "ProfileRecordFile.h"
#include "ScriptedPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

CProfile named(const QString &name, const QString &server = QStringLiteral("host.example.org"))
{
    CProfile p;
    p.ProfileName = name;
    p.Server = server;
    p.Port = 21;
    p.User = QStringLiteral("user");
    p.Password = QStringLiteral("pw");
    p.IsPassive = 1;
    p.RemotePath = QStringLiteral("/pub");
    return p;
}

QByteArray rec(const CProfile &p) { return ProfileRecordFile::EncodeRecord(p); }
QByteArray rec(const char *name) { return rec(named(QString::fromLatin1(name))); }
const QByteArray kJunk = QByteArray("%%% damaged %%%").leftJustified(1024, ' ');

// Replaces a field's text as a user does: select all, then type.
void type(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty())
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, text);
}

class FrmProfileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ProfileFilePath = dir.filePath(QStringLiteral("ProfileEx.dat"));
    }
    void TearDown() override { ProfileFilePath.clear(); }

    void write(const QByteArray &bytes) const
    {
        QFile f(ProfileFilePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray bytes()
    {
        QFile f(ProfileFilePath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    template <typename T> static T *child(const QWidget &w, const char *name)
    {
        T *found = w.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QPushButton *btn(const QWidget &w, const char *name) { return child<QPushButton>(w, name); }
    static QLineEdit *edit(const QWidget &w, const char *name) { return child<QLineEdit>(w, name); }
    static QListWidget *list(const QWidget &w) { return child<QListWidget>(w, "List1"); }
    static QStringList entries(const QWidget &w)
    {
        QStringList texts;
        for (int i = 0; i < list(w)->count(); ++i)
            texts.append(list(w)->item(i)->text());
        return texts;
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
};

} // namespace

TEST_F(FrmProfileTest, OpensOnAMissingFileWithAnEmptyList)
{
    FrmProfile editor(false);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Profiles Manager"));
    EXPECT_TRUE(QFile::exists(ProfileFilePath));
    EXPECT_TRUE(bytes().isEmpty());
    EXPECT_EQ(list(editor)->count(), 0);
    EXPECT_EQ(edit(editor, "txtport")->text(), QStringLiteral("21"));
    EXPECT_EQ(edit(editor, "txtUser")->text(), QStringLiteral("anonymous"));
    EXPECT_TRUE(child<QCheckBox>(editor, "Check1")->isChecked());
    EXPECT_EQ(child<QComboBox>(editor, "CboTz")->count(), 75);
    for (const char *name : {"CmdUpd", "CmdRemove", "CmdSel", "CmdConn"})
        EXPECT_FALSE(btn(editor, name)->isEnabled()) << name;
    for (const char *name : {"CmdAdd", "CmdCnc", "CmdDir"})
        EXPECT_TRUE(btn(editor, name)->isEnabled()) << name;
}

TEST_F(FrmProfileTest, AddNewThenSaveAppendsARecord)
{
    write(rec("One") + rec("Two"));
    FrmProfile editor(false);
    ASSERT_EQ(entries(editor), (QStringList{"One", "Two"}));
    EXPECT_EQ(edit(editor, "txtProf")->text(), QStringLiteral("One")) << "the first entry is shown";

    btn(editor, "CmdAdd")->click();
    EXPECT_EQ(entries(editor).last(), QStringLiteral("Profile??"));
    EXPECT_EQ(edit(editor, "txtProf")->selectedText(), QStringLiteral("Profile??"));
    EXPECT_FALSE(btn(editor, "CmdAdd")->isEnabled());
    EXPECT_TRUE(btn(editor, "CmdUpd")->isEnabled());

    type(edit(editor, "txtProf"), QStringLiteral("Three"));
    type(edit(editor, "txtSvr"), QStringLiteral("ftp.three.org"));
    type(edit(editor, "txtport"), QStringLiteral("2121"));
    child<QComboBox>(editor, "CboTz")->setCurrentIndex(7);
    QTest::mouseClick(child<QCheckBox>(editor, "Check2"), Qt::LeftButton);
    btn(editor, "CmdUpd")->click();

    EXPECT_TRUE(editor.ProfEdited);
    EXPECT_EQ(entries(editor), (QStringList{"One", "Two", "Three"}));
    EXPECT_FALSE(btn(editor, "CmdUpd")->isEnabled());
    EXPECT_TRUE(btn(editor, "CmdAdd")->isEnabled());
    const QByteArray file = bytes();
    ASSERT_EQ(file.size(), 3 * 1024);
    EXPECT_EQ(file.left(2048), rec("One") + rec("Two"));
    const auto saved = ProfileRecordFile::DecodeRecord(file.mid(2048));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->ProfileName, QStringLiteral("Three"));
    EXPECT_EQ(saved->Server, QStringLiteral("ftp.three.org"));
    EXPECT_EQ(saved->Port, 2121);
    EXPECT_EQ(saved->User, QStringLiteral("anonymous"));
    EXPECT_EQ(saved->Password, QStringLiteral("guestuser"));
    EXPECT_EQ(saved->TimeZone, 7);
    EXPECT_EQ(saved->KeepAlive, 1);
    EXPECT_EQ(QFile(ProfileFilePath).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

TEST_F(FrmProfileTest, AProfileFileOthersCanReadIsMadePrivateWhenOpened)
{
    // A file copied in from elsewhere, readable by everyone, holds passwords.
    write(rec("One"));
    ASSERT_TRUE(QFile::setPermissions(ProfileFilePath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                           | QFile::ReadOther));
    FrmProfile editor(false);
    EXPECT_EQ(entries(editor), QStringList{"One"});
    EXPECT_EQ(QFile(ProfileFilePath).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther
                                                      | QFile::WriteGroup),
              QFile::Permissions());
    EXPECT_EQ(bytes(), rec("One"));
}

TEST_F(FrmProfileTest, EditingSavesOnlyTheEntrysOwnRecord)
{
    write(rec("One") + kJunk + rec("Three"));
    FrmProfile editor(false);
    ASSERT_EQ(entries(editor), (QStringList{"One", FrmProfile::UnreadableEntryText(2), "Three"}));

    list(editor)->setCurrentRow(2);
    EXPECT_EQ(edit(editor, "txtProf")->text(), QStringLiteral("Three"));
    EXPECT_FALSE(btn(editor, "CmdUpd")->isEnabled());
    type(edit(editor, "txtSvr"), QStringLiteral("changed.example.org"));
    EXPECT_TRUE(btn(editor, "CmdUpd")->isEnabled());
    btn(editor, "CmdUpd")->click();

    CProfile three = named("Three");
    three.Server = QStringLiteral("changed.example.org");
    EXPECT_EQ(bytes(), rec("One") + kJunk + rec(three));
}

TEST_F(FrmProfileTest, AnUnreadableRecordIsShownButNeverSavedOver)
{
    write(rec("One") + kJunk);
    FrmProfile editor(false);
    list(editor)->setCurrentRow(1);
    EXPECT_TRUE(edit(editor, "txtProf")->text().isEmpty()) << "another profile's fields are not left showing";
    EXPECT_FALSE(btn(editor, "CmdSel")->isEnabled());
    EXPECT_FALSE(btn(editor, "CmdConn")->isEnabled());
    EXPECT_TRUE(btn(editor, "CmdRemove")->isEnabled());
    type(edit(editor, "txtProf"), QStringLiteral("Over"));
    EXPECT_FALSE(btn(editor, "CmdUpd")->isEnabled());
    EXPECT_EQ(bytes(), rec("One") + kJunk);
}

TEST_F(FrmProfileTest, DeleteAroundAnUnreadableRecordKeepsEveryOtherRecord)
{
    write(rec("One") + kJunk + rec("Three") + rec("Four"));
    FrmProfile editor(false);

    // Delete the first: the damaged record moves up but stays byte for byte.
    prompts.expectMessage(QStringLiteral("Delete the selected profile ?"), PromptButton::Yes);
    btn(editor, "CmdRemove")->click();
    EXPECT_EQ(bytes(), kJunk + rec("Three") + rec("Four"));
    EXPECT_EQ(entries(editor), (QStringList{FrmProfile::UnreadableEntryText(2), "Three", "Four"}));
    EXPECT_EQ(list(editor)->currentRow(), 0);

    // The entries behind it now save into their new records.
    list(editor)->setCurrentRow(2);
    type(edit(editor, "txtUser"), QStringLiteral("someone"));
    btn(editor, "CmdUpd")->click();
    CProfile four = named("Four");
    four.User = QStringLiteral("someone");
    EXPECT_EQ(bytes(), kJunk + rec("Three") + rec(four));

    // Answering No changes nothing; deleting the last selects the new last.
    prompts.expectMessage(QStringLiteral("Delete"), PromptButton::No);
    btn(editor, "CmdRemove")->click();
    EXPECT_EQ(entries(editor).size(), 3);
    prompts.expectMessage(QStringLiteral("Delete"), PromptButton::Yes);
    btn(editor, "CmdRemove")->click();
    EXPECT_EQ(bytes(), kJunk + rec("Three"));
    EXPECT_EQ(list(editor)->currentRow(), 1);
    EXPECT_EQ(edit(editor, "txtProf")->text(), QStringLiteral("Three"));

    // The damaged record goes only when chosen itself.
    list(editor)->setCurrentRow(0);
    prompts.expectMessage(QStringLiteral("Delete"), PromptButton::Yes);
    btn(editor, "CmdRemove")->click();
    EXPECT_EQ(bytes(), rec("Three"));
    prompts.expectMessage(QStringLiteral("Delete"), PromptButton::Yes);
    btn(editor, "CmdRemove")->click();
    EXPECT_TRUE(QFile::exists(ProfileFilePath));
    EXPECT_TRUE(bytes().isEmpty());
    EXPECT_EQ(list(editor)->count(), 0);
    EXPECT_FALSE(btn(editor, "CmdRemove")->isEnabled());
}

TEST_F(FrmProfileTest, AnUnsavedEntryNeverWritesABlankRecord)
{
    write(rec("One") + rec("Two"));
    FrmProfile editor(false);
    btn(editor, "CmdAdd")->click();
    type(edit(editor, "txtProf"), QStringLiteral("New"));

    // Deleting another profile meanwhile: the new entry still has no record.
    list(editor)->setCurrentRow(0);
    prompts.expectMessage(QStringLiteral("Delete"), PromptButton::Yes);
    btn(editor, "CmdRemove")->click();
    EXPECT_EQ(bytes(), rec("Two"));
    EXPECT_EQ(entries(editor), (QStringList{"Two", "Profile??"}));

    // Deleting the unsaved entry itself touches no record.
    list(editor)->setCurrentRow(1);
    prompts.expectMessage(QStringLiteral("Delete"), PromptButton::Yes);
    btn(editor, "CmdRemove")->click();
    EXPECT_EQ(bytes(), rec("Two"));

    // A new entry saved later takes the next record.
    btn(editor, "CmdAdd")->click();
    type(edit(editor, "txtProf"), QStringLiteral("Later"));
    btn(editor, "CmdUpd")->click();
    ASSERT_EQ(bytes().size(), 2048);
    EXPECT_EQ(bytes().left(1024), rec("Two"));
    EXPECT_EQ(ProfileRecordFile::DecodeRecord(bytes().mid(1024))->ProfileName, QStringLiteral("Later"));
}

TEST_F(FrmProfileTest, RefusesDuplicateNamesButAllowsRenamingItself)
{
    write(rec("Alpha") + rec("Beta"));
    FrmProfile editor(false);
    list(editor)->setCurrentRow(1);
    type(edit(editor, "txtProf"), QStringLiteral(" ALPHA "));
    prompts.expectMessage(QStringLiteral("Duplicate Profile Name not allowed!"), PromptButton::Ok);
    btn(editor, "CmdUpd")->click();
    EXPECT_EQ(bytes(), rec("Alpha") + rec("Beta"));
    EXPECT_TRUE(editor.ProfEdited) << "pressing Save counts even when refused";

    type(edit(editor, "txtProf"), QStringLiteral("BETA"));
    btn(editor, "CmdUpd")->click();
    EXPECT_EQ(bytes(), rec("Alpha") + rec(named("BETA")));
    EXPECT_EQ(entries(editor), (QStringList{"Alpha", "BETA"}));
}

TEST_F(FrmProfileTest, RefusesProfilesThatCannotBeStored)
{
    write(rec("One"));
    FrmProfile editor(false);

    // Every field at its longest packs to more than a record holds.
    type(edit(editor, "txtSvr"), QString(80, QLatin1Char('s')));
    type(edit(editor, "txtUser"), QString(100, QLatin1Char('u')));
    type(edit(editor, "txtPwd"), QString(100, QLatin1Char('p')));
    type(edit(editor, "txtRmtPath"), QString(255, QLatin1Char('r')));
    type(edit(editor, "txtLocPath"), QString(255, QLatin1Char('l')));
    prompts.expectMessage(QStringLiteral("too long"), PromptButton::Ok);
    btn(editor, "CmdUpd")->click();
    EXPECT_EQ(bytes(), rec("One"));

    // The field separator pasted into a field.
    type(edit(editor, "txtLocPath"), QString());
    type(edit(editor, "txtRmtPath"), QString());
    edit(editor, "txtPwd")->setText(QStringLiteral("a") + QChar(2) + QStringLiteral("b"));
    prompts.expectMessage(QStringLiteral("control character"), PromptButton::Ok);
    btn(editor, "CmdUpd")->click();
    EXPECT_EQ(bytes(), rec("One"));

    // A port that is no number: nothing written, no message.
    type(edit(editor, "txtPwd"), QStringLiteral("pw"));
    type(edit(editor, "txtport"), QStringLiteral("21x"));
    btn(editor, "CmdUpd")->click();
    EXPECT_EQ(bytes(), rec("One"));
    EXPECT_TRUE(btn(editor, "CmdAdd")->isEnabled());
}

TEST_F(FrmProfileTest, LocalFolderComesFromThePicker)
{
    write(rec("One"));
    FrmProfile editor(false);
    prompts.expectFile(QStringLiteral("local folder"), std::nullopt);
    btn(editor, "CmdDir")->click();
    EXPECT_TRUE(edit(editor, "txtLocPath")->text().isEmpty());
    EXPECT_FALSE(btn(editor, "CmdUpd")->isEnabled());

    prompts.expectFile(QStringLiteral("local folder"), dir.path());
    btn(editor, "CmdDir")->click();
    EXPECT_EQ(edit(editor, "txtLocPath")->text(), dir.path());
    EXPECT_TRUE(btn(editor, "CmdUpd")->isEnabled());
}

namespace {

// Runs `steps` on the editor once getProfile has shown it.
void whenEditorShows(std::function<void(FrmProfile &)> steps)
{
    QTimer::singleShot(0, [steps = std::move(steps)] {
        FrmProfile *editor = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *candidate = qobject_cast<FrmProfile *>(w); candidate && candidate->isVisible())
                editor = candidate;
        }
        if (!editor) {
            ADD_FAILURE() << "the profile editor is not shown";
            return;
        }
        EXPECT_EQ(QApplication::activeModalWidget(), editor);
        steps(*editor);
        if (editor->isVisible()) {
            ADD_FAILURE() << "the steps left the editor open";
            editor->reject();
        }
    });
}

} // namespace

TEST_F(FrmProfileTest, SelectHandsBackTheTrimmedFields)
{
    write(rec("One"));
    whenEditorShows([](FrmProfile &editor) {
        type(edit(editor, "txtSvr"), QStringLiteral("  edited.example.org "));
        type(edit(editor, "txtport"), QStringLiteral("2121a"));
        type(edit(editor, "txtPwd"), QStringLiteral(" secret "));
        child<QComboBox>(editor, "CboTz")->setCurrentIndex(12);
        QTest::mouseClick(child<QCheckBox>(editor, "Check2"), Qt::LeftButton);
        btn(editor, "CmdSel")->click();
    });
    bool bConnect = true;
    bool edited = true;
    bConnect = false;
    const auto profile = getProfile(bConnect, edited);
    ASSERT_TRUE(profile);
    EXPECT_FALSE(bConnect);
    EXPECT_FALSE(edited);
    EXPECT_EQ(profile->ProfileName, QStringLiteral("One"));
    EXPECT_EQ(profile->Server, QStringLiteral("edited.example.org"));
    EXPECT_EQ(profile->Port, 2121);
    EXPECT_EQ(profile->Password, QStringLiteral("secret"));
    EXPECT_EQ(profile->RemotePath, QStringLiteral("/pub"));
    EXPECT_EQ(profile->IsPassive, 1);
    EXPECT_EQ(profile->TimeZone, 12);
    EXPECT_EQ(profile->KeepAlive, 1);
    EXPECT_EQ(bytes(), rec("One")) << "selecting does not save";
}

TEST_F(FrmProfileTest, ConnectCancelAndManageOnly)
{
    write(rec("One"));
    whenEditorShows([](FrmProfile &editor) {
        type(edit(editor, "txtport"), QString());
        btn(editor, "CmdUpd")->click(); // refused: no number
        btn(editor, "CmdConn")->click();
    });
    bool bConnect = false;
    bool edited = false;
    auto profile = getProfile(bConnect, edited);
    ASSERT_TRUE(profile);
    EXPECT_TRUE(bConnect);
    EXPECT_TRUE(edited);
    EXPECT_EQ(profile->Port, 0);

    whenEditorShows([](FrmProfile &editor) { btn(editor, "CmdCnc")->click(); });
    bConnect = false;
    EXPECT_FALSE(getProfile(bConnect, edited));
    EXPECT_FALSE(bConnect);
    EXPECT_FALSE(edited);

    // Manage only: Select and Connect stay disabled whatever is chosen.
    write(rec("One") + rec("Two"));
    whenEditorShows([](FrmProfile &editor) {
        EXPECT_FALSE(btn(editor, "CmdSel")->isEnabled());
        list(editor)->setCurrentRow(1);
        btn(editor, "CmdAdd")->click();
        EXPECT_FALSE(btn(editor, "CmdSel")->isEnabled());
        EXPECT_FALSE(btn(editor, "CmdConn")->isEnabled());
        editor.close(); // the window's frame counts as Cancel
    });
    bConnect = true;
    EXPECT_FALSE(getProfile(bConnect, edited));
    EXPECT_TRUE(bConnect);
}

TEST_F(FrmProfileTest, AZoneOutsideTheTableShowsNoZoneAndTheRightKeepAlive)
{
    CProfile first = named("First");
    first.TimeZone = 5;
    first.KeepAlive = 1;
    CProfile odd = named("Odd");
    odd.TimeZone = 200; // written by hand or by another program
    odd.KeepAlive = 0;
    write(rec(first) + rec(odd));
    FrmProfile editor(false);
    auto *zone = child<QComboBox>(editor, "CboTz");
    auto *keepAlive = child<QCheckBox>(editor, "Check2");

    list(editor)->setCurrentRow(0);
    EXPECT_EQ(zone->currentIndex(), 5);
    EXPECT_TRUE(keepAlive->isChecked());
    list(editor)->setCurrentRow(1);
    // Nothing of the first profile may stay on show for the second.
    EXPECT_EQ(zone->currentIndex(), -1);
    EXPECT_FALSE(keepAlive->isChecked());
}
