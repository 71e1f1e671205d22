# The engine core FtpCommander: command tables, macro runner, control and
# data connections, timer. Runs without widgets.
ftpqor_library(ftpqor_ftp_engine
  SOURCES
    EngineSocket.cpp EngineSocket.h
    EngineTimer.cpp EngineTimer.h
    FtpCommandRecord.h
    FtpCommandTables.cpp FtpCommandTables.h
    FtpCommander.cpp FtpCommander.h
    FtpCommanderConnection.cpp
    FtpCommanderData.cpp
    FtpCommanderEmptyListing.cpp
    FtpCommanderHeldFile.cpp
    HeldFile.h
    FtpCommanderOperations.cpp
    FtpCommanderRunner.cpp
    LoginFailedHandler.h
    RemoteFolderWalk.cpp RemoteFolderWalk.h
    ReplyCodes.cpp ReplyCodes.h
    ReplyReader.cpp ReplyReader.h
  DEPENDS ftpqor_ftp_listing ftpqor_foundation ftpqor_platform Qt6::Core Qt6::Network)
