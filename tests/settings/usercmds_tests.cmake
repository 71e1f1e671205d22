ftpqor_test(test_usercmds
  SOURCES UserCommandFileTest.cpp UserCommandWindowsTest.cpp
  DEPENDS ftpqor_usercmds)
