ftpqor_test(test_config
  SOURCES
    ConfigTestSupport.cpp ConfigTestSupport.h
    SettingsFileTest.cpp
    OptionFlagsTest.cpp
    SoundAlertsTest.cpp
    ConfigureDialogTest.cpp
  DEPENDS ftpqor_config ftpqor_profiles)
