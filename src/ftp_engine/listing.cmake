# Directory-listing parser and listing cache: plain text and file work, no sockets.
ftpqor_library(ftpqor_ftp_listing
  SOURCES
    DirectoryListingParser.cpp DirectoryListingParser.h
    FtpCache.cpp FtpCache.h
    FtpFileItem.h
  DEPENDS ftpqor_foundation)
