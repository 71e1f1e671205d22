ftpqor_test(test_profiles
  SOURCES
    CProfileTest.cpp
    ProfileFileTest.cpp
    FrmProfileTest.cpp
    QuickConnectTest.cpp
    PathHistoryTest.cpp
  DEPENDS ftpqor_profiles)
