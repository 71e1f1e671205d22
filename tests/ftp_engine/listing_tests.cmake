ftpqor_test(test_ftp_listing
  SOURCES DirectoryListingParserTest.cpp FtpCacheTest.cpp ListingFromServerTest.cpp
  DEPENDS ftpqor_ftp_listing)
