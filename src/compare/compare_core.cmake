ftpqor_library(ftpqor_compare_core
  SOURCES
    CompareRules.cpp CompareRules.h
    CompareRun.h
    CounterpartSide.h
    FolderComparison.cpp FolderComparison.h
    FtpSideWalk.cpp FtpSideWalk.h
    LocalCounterparts.cpp LocalCounterparts.h
    LocalFolderReadAhead.cpp LocalFolderReadAhead.h
    LocalFolderReader.cpp LocalFolderReader.h
    LocalTreeCompare.cpp LocalTreeCompare.h
    RemoteCounterparts.cpp RemoteCounterparts.h
    RemoteFolderListings.cpp RemoteFolderListings.h
    RemoteToLocalCompare.cpp RemoteToLocalCompare.h
    RemoteTreeCompare.cpp RemoteTreeCompare.h
  DEPENDS ftpqor_local_pane ftpqor_ftp_engine ftpqor_ftp_listing ftpqor_foundation ftpqor_platform
          Qt6::Core)
