#include "FtpCommander.h"

#include "DirectoryListingParser.h"
#include "ErrorLog.h"
#include "FtpCommandTables.h"
#include "ModFTPTrelm.h"
#include "PropertyBag.h"
#include "TextCodec.h"

#include <QFile>

#include <algorithm>

namespace {

const QString kObject = QStringLiteral("FtpCommander");
const QString kDefaultUser = QStringLiteral("anonymous");
const QString kDefaultPassword = QStringLiteral("guestuser");
const QString kDefaultServerUrl = QStringLiteral("ftp://localhost");

} // namespace

FtpCommander::FtpCommander(QObject *parent, EngineTimer *timer)
    : QObject(parent)
    , m_timer(timer ? timer : new EngineTimer)
{
    setObjectName(kObject);
    m_timer->setParent(this);
    connect(m_timer, &EngineTimer::tick, this, &FtpCommander::OnTimerTick);

    // A hostile server cannot make the control socket buffer without end.
    m_control.setReadBufferSize(ReplyReader::kMaxReplyBytes + ReplyReader::kMaxLineBytes);
    connect(&m_control, &EngineSocket::connected, this, &FtpCommander::WSk_M_Connect);
    connect(&m_control, &EngineSocket::dataArrival, this, &FtpCommander::WSk_M_DataArrival);
    connect(&m_control, &EngineSocket::closedByPeer, this, &FtpCommander::WSK_M_Close);
    connect(&m_control, &EngineSocket::failed, this, &FtpCommander::WSk_M_Error);

    m_data.setReadBufferSize(kDataReadBuffer);
    connect(&m_data, &EngineSocket::connected, this, &FtpCommander::WSk_D_Connect);
    connect(&m_data, &EngineSocket::dataArrival, this, &FtpCommander::WSK_D_DataArrival);
    connect(&m_data, &EngineSocket::dataWritten, this, &FtpCommander::WSk_D_DataWritten);
    connect(&m_data, &EngineSocket::sendComplete, this, &FtpCommander::WSk_D_SendComplete);
    m_acknowledgedPoll.setInterval(200);
    connect(&m_acknowledgedPoll, &QTimer::timeout, this, &FtpCommander::PollAcknowledged);
    connect(&m_data, &EngineSocket::closedByPeer, this, &FtpCommander::WSK_D_Close);
    connect(&m_data, &EngineSocket::failed, this, &FtpCommander::WSk_D_Error);
    connect(&m_data, &EngineSocket::connectionRefusedFrom, this, [this](const QHostAddress &address) {
        emit Message(QStringLiteral("Refused a data connection from ") + address.toString());
    });

    try {
        LoadCmdDefinitions();
        InitProperties();
        InitGlobal();
        LoadCmds();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("UserControl_Initialize"));
    }
}

FtpCommander::~FtpCommander()
{
    m_timer->disconnect(this);
    m_control.disconnect(this);
    m_data.disconnect(this);
}

// ----------------------------------------------------------------------------
// Properties

void FtpCommander::setIsVisible(bool visible)
{
    m_visible = visible;
    if (visible)
        emit StatusChanged();
}

void FtpCommander::setListingAllowed(bool allowed)
{
    m_listingAllowed = allowed;
    emit PropertyChanged(QStringLiteral("ListingAllowed"));
    InitGlobal();
}

void FtpCommander::SetStartUpPort(long first, long width)
{
    m_portFirst = first;
    m_portWidth = width;
    m_portCurrent = first;
}

void FtpCommander::Refresh()
{
    emit StatusChanged();
}

void FtpCommander::setUser(const QString &user)
{
    m_user = user;
    emit PropertyChanged(QStringLiteral("User"));
}

void FtpCommander::setPassword(const QString &password)
{
    m_password = password;
    emit PropertyChanged(QStringLiteral("Password"));
}

void FtpCommander::setPort(long port)
{
    m_port = port;
    emit PropertyChanged(QStringLiteral("Port"));
}

void FtpCommander::setServerUrl(const QString &url)
{
    m_serverUrl = url;
    emit PropertyChanged(QStringLiteral("ServerUrl"));
}

void FtpCommander::setMode(long mode)
{
    m_mode = mode;
    emit PropertyChanged(QStringLiteral("Mode"));
    InitGlobal();
}

void FtpCommander::setMaxConnectionTry(int tries)
{
    m_maxConnectionTry = tries;
    emit PropertyChanged(QStringLiteral("MaxConnectionTry"));
}

void FtpCommander::setCommandTimeout(long seconds)
{
    m_commandTimeout = seconds;
    emit PropertyChanged(QStringLiteral("CommandTimeout"));
}

void FtpCommander::setConnectionTimeout(int seconds)
{
    m_connectionTimeout = seconds;
    emit PropertyChanged(QStringLiteral("ConnectionTimeout"));
}

FtpCommandRecord FtpCommander::CommandRecord(int index) const
{
    if (index < 0 || index >= kCommandRecords)
        return {};
    return m_records[static_cast<size_t>(index)];
}

QString FtpCommander::ReachedAddress() const
{
    if (!m_control.isConnected())
        return QString();
    return EngineSocket::WithoutIpv4Mapping(m_control.peerAddress()).toString();
}

QString FtpCommander::getListData() const
{
    try {
        if (m_listBytes <= 0)
            return {};
        QFile file(m_cacheFile);
        if (!file.open(QIODevice::ReadOnly))
            throw RuntimeError(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
        return TextCodec::Decode(file.read(m_listBytes));
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("getListData"));
        return {};
    }
}

bool FtpCommander::ListingUnread() const
{
    return m_listingUnread && ListingBringsNoEntries();
}

// ----------------------------------------------------------------------------
// Saved property set. Only the design-time user and password are stored: the
// values a host sets at run time from a profile never reach the saved set.

void FtpCommander::InitProperties()
{
    m_user = m_designUser = kDefaultUser;
    m_password = m_designPassword = kDefaultPassword;
    m_port = 21;
    m_mode = 0;
    m_maxConnectionTry = 4;
    m_commandTimeout = 20;
    m_serverUrl = kDefaultServerUrl;
    m_connectionTimeout = 30;
}

void FtpCommander::ReadProperties(const PropertyBag &bag)
{
    try {
        m_user = m_designUser = bag.ReadProperty(QStringLiteral("User"), kDefaultUser).toString();
        m_password = m_designPassword = bag.ReadProperty(QStringLiteral("Password"), kDefaultPassword).toString();
        m_port = bag.ReadProperty(QStringLiteral("Port"), 21).toInt();
        m_mode = bag.ReadProperty(QStringLiteral("Mode"), 0).toInt();
        m_maxConnectionTry = bag.ReadProperty(QStringLiteral("MaxConnectionTry"), 4).toInt();
        m_commandTimeout = bag.ReadProperty(QStringLiteral("CommandTimeout"), 20).toInt();
        m_serverUrl = bag.ReadProperty(QStringLiteral("ServerUrl"), kDefaultServerUrl).toString();
        m_connectionTimeout = bag.ReadProperty(QStringLiteral("ConnectionTimeout"), 30).toInt();
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("UserControl_ReadProperties"));
    }
}

void FtpCommander::WriteProperties(PropertyBag &bag) const
{
    try {
        bag.WriteProperty(QStringLiteral("User"), m_designUser, kDefaultUser);
        bag.WriteProperty(QStringLiteral("Password"), m_designPassword, kDefaultPassword);
        bag.WriteProperty(QStringLiteral("Port"), static_cast<int>(m_port), 21);
        bag.WriteProperty(QStringLiteral("Mode"), static_cast<int>(m_mode), 0);
        bag.WriteProperty(QStringLiteral("MaxConnectionTry"), m_maxConnectionTry, 4);
        bag.WriteProperty(QStringLiteral("CommandTimeout"), static_cast<int>(m_commandTimeout), 20);
        bag.WriteProperty(QStringLiteral("ServerUrl"), m_serverUrl, kDefaultServerUrl);
        bag.WriteProperty(QStringLiteral("ConnectionTimeout"), m_connectionTimeout, 30);
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("UserControl_WriteProperties"));
    }
}

// ----------------------------------------------------------------------------
// Working copies of the tables

void FtpCommander::InitGlobal()
{
    m_macros = QStringList(kMacroSlots);
    const QString dataStep = m_mode == 1 ? QStringLiteral("8") : QStringLiteral("9");
    m_macros[16] = QStringLiteral("34,9,16");
    m_macros[17] = QStringLiteral("34,8,11");
    for (int slot : {0, 1, 4, 8, 9, 10, 11, 12, 18, 19, 20})
        m_macros[slot] = FtpMacroTable.value(slot);
    for (int slot : {2, 5, 6, 14, 15})
        m_macros[slot] = QString(FtpMacroTable.value(slot)).replace(QStringLiteral("100"), dataStep);
}

void FtpCommander::LoadCmds()
{
    m_defaultMap = FtpCmdTable.value(0);
    for (int i = 0; i < kCommandRecords; ++i) {
        const QStringList fields = FtpCmdTable.value(i + 1).split(QLatin1Char('|'));
        FtpCommandRecord &record = m_records[static_cast<size_t>(i)];
        if (FtpCmdTable.value(i + 1).isEmpty())
            continue; // an empty slot carries no field
        record.Verb = fields.value(0);
        if (fields.size() >= 2)
            record.SuccessCodes = fields[1];
        if (fields.size() >= 3)
            record.ReplyMap = fields[2];
    }
}

bool FtpCommander::LoadDefaultOpConfig()
{
    try {
        if (m_control.isConnected())
            return false;
        LoadCmds();
        return true;
    } catch (...) {
        LogCurrentException(kObject, QStringLiteral("LoadDefaultOpConfig"));
        return false;
    }
}

bool FtpCommander::LoadCustomOpConfig(const QString &path)
{
    try {
        if (m_control.isConnected())
            return false;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QStringList lines = TextCodec::SplitLines(TextCodec::Decode(file.readAll()));
        bool constants = false;
        bool variables = false;
        for (const QString &raw : lines) {
            const QString line = RemoveMultiChar(raw.trimmed(), u' ');
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            if (line.contains(QStringLiteral("<CONST>"), Qt::CaseInsensitive)) {
                constants = true;
                variables = false;
            } else if (line.contains(QStringLiteral("</CONST>"), Qt::CaseInsensitive)) {
                constants = false;
            }
            if (line.contains(QStringLiteral("<VARS>"), Qt::CaseInsensitive)) {
                constants = false;
                variables = true;
            } else if (line.contains(QStringLiteral("</VARS>"), Qt::CaseInsensitive)) {
                variables = false;
            }
            const QStringList fields = line.split(QLatin1Char(' '));
            if (fields.size() < 3)
                continue;
            if (constants) {
                if (fields[0].compare(QStringLiteral("$def"), Qt::CaseInsensitive) == 0)
                    m_defaultMap = MyTrim(fields[2], u'"');
            } else if (variables) {
                for (int i = 0; i <= 13; ++i) {
                    FtpCommandRecord &record = m_records[static_cast<size_t>(i)];
                    if (fields[0].compare(record.Verb + QLatin1Char('@'), Qt::CaseInsensitive) == 0) {
                        record.SuccessCodes = MyTrim(fields[1], u'"');
                        record.ReplyMap = MyTrim(fields[2], u'"');
                        break;
                    }
                }
            }
        }
        return true;
    } catch (...) {
        return false; // an unreadable configuration is not worth an error-log line
    }
}
