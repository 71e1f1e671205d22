#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Reply codes are compared as codes: a three-digit code against a pattern of
// three characters where "X" (any case) stands for any digit.
namespace ReplyCodes {

bool Matches(const QString &code, const QString &pattern);

// Whether the code is one of the "-"-separated entries of a success-code
// field ("220-1XX[N]": only "220" is a code entry there).
bool IsSuccess(const QString &code, const QString &successCodes);

// The action of a reply map ("425-426[R]5XX[E]...") for a code: the group
// naming the exact code wins, then NNX, then NXX, then XXX. The action is the
// bracketed text, upper-cased and trimmed; an empty text when the matching
// group has no complete bracket. Nothing when no group names the code.
std::optional<QString> FindAction(const QString &replyMap, const QString &code);

// The map with every "$def" (any case) replaced by the default map.
QString ExpandDefault(const QString &replyMap, const QString &defaultMap);

// Whether a final reply with `code` can be the answer to one of the engine's
// own commands with `verb`: some completion codes belong to a few commands
// only (227 to PASV, 257 to PWD and MKD, 226 to a transfer or ABOR, 213 to
// SIZE, MDTM and STAT ...), a transfer (226, 250) or PASV gives no other
// positive reply, and only a transfer is broken off (426). Preliminary
// replies, other refusals and commands this does not know (SITE among them)
// are never ruled out.
bool CanAnswer(const QString &verb, const QString &code);

// Whether the verb starts a transfer on the data connection (RETR, STOR, LIST ...).
bool IsTransferVerb(const QString &verb);

// The lines of a refusal read as one reason: "451-Error ...", "451-Transfer
// aborted", "451 0.001 seconds ..." read "451 Error ...; Transfer aborted;
// 0.001 seconds ...". `lines` end with the final line.
QString RefusalText(const QStringList &lines);
// Whether a listing's whole final reply says the server could not read the
// folder, though it ends the transfer as a success with no entries: vsftpd's
// "226 Transfer done (but failed to open directory).", pure-ftpd's
// "226-Sorry, we were unable to read [.]" ... "226 0 matches total".
// `lines` end with the final line.
bool SaysFolderUnread(const QStringList &lines);
// Whether a FEAT reply lists the machine listing: "MLST" (which brings MLSD
// with it) or "MLSD" as a feature line. `lines` end with the final line.
bool FeaturesListMachineListing(const QStringList &lines);
// What MLSD's refusal says of a folder that was entered and listed empty:
// 550, the server could not read it (proftpd's "550 /f: Permission denied");
// 500, 502, 504, the server has no MLSD; anything else tells nothing.
enum class ListingRefusal { FolderUnread, NotSupported, Other };
ListingRefusal ReadMachineListingRefusal(const QString &code);
// Lines of a multi-line refusal kept before its final line.
inline constexpr qsizetype kRefusalLinesKept = 8;

// The path a 257 reply names ("257 \"/a \"\"b\"\"\" is current"; doubled quotes
// stand for one), or "" when it names none or a path that does not start at the root.
QString QuotedAbsolutePath(const QString &line);

// The size a "213 N" reply to SIZE gives; -1 when it gives none.
qint64 SizeInReply(const QString &line);

// What a reply's code says it is about, for a refusal (4xx, 5xx).
enum class Cause {
    None,           // no refusal
    Session,        // 421, 530, 532: the session or its login
    DataConnection, // 425, 426
    BusyFile,       // 450
    Space,          // 452, 552
    NotUnderstood,  // 500, 502, 504: the command, not the file
    FileOrName,     // 550, 553: no such file, no right to it, or a name not taken
    Other
};
Cause CauseOf(const QString &code);
// A cause that may well have passed when the same command goes again later:
// the session, the data connection, a busy file, the server's space.
bool MayPass(Cause cause);
bool IsPreliminary(const QString &code); // 1xx
bool IsRefusal(const QString &code);     // 4xx, 5xx

// Whether a refusal of SIZE (or MDTM) says the server does not know the
// command (500, 502, 504), not that it holds no such file.
bool NotUnderstood(const QString &code);

} // namespace ReplyCodes
