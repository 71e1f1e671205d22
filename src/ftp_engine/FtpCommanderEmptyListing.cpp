// Whether a listing that brought no entries is a folder the server could not
// read. proftpd lists a folder it may enter but not read (mode 0311, another
// user's) as an empty one, and says so only when asked for a machine listing:
// "550 <folder>: Permission denied". So after an empty listing a walk asks
// once more: FEAT once a session (a server with MLSD lists MLST there), then
// MLSD of the folder, whose entries are not kept. A server without MLSD is
// asked nothing more and its empty listings stay empty folders.
#include "FtpCommander.h"

#include "DirectoryListingParser.h"
#include "ReplyCodes.h"

#include <algorithm>

namespace {

// A listing that brings no entries is a few lines at most ("total 0", "."
// and ".."): a longer one is not parsed twice to find out.
constexpr qint64 kMaxEmptyListingBytes = 4096;

} // namespace

bool FtpCommander::ListingBringsNoEntries() const
{
    const QList<FtpFileItem> items = GetFileList(getListData(), m_remotePath);
    return std::none_of(items.cbegin(), items.cend(), [](const FtpFileItem &item) {
        return item.Name != QLatin1String(".") && item.Name != QLatin1String("..");
    });
}

bool FtpCommander::EmptyListingNeedsAsking() const
{
    return m_emptyListing == EmptyListing::AskWhetherRead && m_currentAct == ActList && !m_listingUnread
        && m_machineListing != MachineListing::Absent && m_listBytes <= kMaxEmptyListingBytes
        && ListingBringsNoEntries();
}

void FtpCommander::AskWhetherListingRead()
{
    if (m_machineListing == MachineListing::Unknown) {
        m_emptyQuestion = EmptyListingQuestion::Features;
        // The listing's transfer is over: FEAT is timed as a command, and a silence is told as one.
        m_preliminarySeen = false;
        SendFtpCommand(QStringLiteral("FEAT"), QStringLiteral("211"), QStringLiteral("Asking for the server's features.."));
        return;
    }
    AskMachineListing();
}

void FtpCommander::AskMachineListing()
{
    // A data step and step 10 again, step 10 sending MLSD: the operation goes on from the data step.
    m_emptyQuestion = EmptyListingQuestion::Listing;
    m_questionBytes = 0;
    m_steps.append(m_mode == 1 ? 8 : 9);
    m_steps.append(10);
    m_currentIndex = static_cast<int>(m_steps.size()) - 2;
    ExecuteStep(m_steps[m_currentIndex]);
}

// True when the reply was the question's and has been dealt with.
bool FtpCommander::TakeEmptyListingReply(const QString &code, const QString &line, bool preliminary)
{
    if (m_emptyQuestion == EmptyListingQuestion::Features) {
        QPointer<FtpCommander> self(this);
        const quint64 serial = m_operationSerial;
        emit Message(line);
        if (!self || serial != m_operationSerial || m_currentIndex < 0 || preliminary)
            return true;
        m_machineListing = code == QLatin1String("211") && ReplyCodes::FeaturesListMachineListing(m_replyLines)
                             ? MachineListing::Present
                             : MachineListing::Absent;
        if (m_machineListing == MachineListing::Present)
            AskMachineListing();
        else
            EndEmptyListingQuestion();
        return true;
    }
    // The data step's replies, MLSD's opening and its end as a success go the usual way.
    if (m_emptyQuestion != EmptyListingQuestion::Listing || m_currentStep != 10 || preliminary
        || code.startsWith(QLatin1Char('2')))
        return false;
    switch (ReplyCodes::ReadMachineListingRefusal(code)) {
    case ReplyCodes::ListingRefusal::FolderUnread:
        m_listingUnread = true;
        break;
    case ReplyCodes::ListingRefusal::NotSupported:
        m_machineListing = MachineListing::Absent;
        break;
    case ReplyCodes::ListingRefusal::Other:
        break; // it tells nothing: the empty listing stands, as without the question
    }
    m_data.close();
    m_dataClosed = true;
    QPointer<FtpCommander> self(this);
    const quint64 serial = m_operationSerial;
    emit Message(line);
    if (self && serial == m_operationSerial && m_currentIndex >= 0)
        EndEmptyListingQuestion();
    return true;
}

void FtpCommander::EndEmptyListingQuestion()
{
    m_emptyQuestion = EmptyListingQuestion::None;
    CompleteMacro();
}
