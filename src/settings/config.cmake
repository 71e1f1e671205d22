# Settings file, option flags, sound alerts and the settings dialog.
ftpqor_library(ftpqor_config
  SOURCES
    ApplyConfiguration.cpp ApplyConfiguration.h
    FontSlots.cpp FontSlots.h
    frmConfigure.cpp frmConfigure.h
    OptionFlags.cpp OptionFlags.h
    SettingsFile.cpp SettingsFile.h
    SoundAlerts.cpp SoundAlerts.h
  DEPENDS ftpqor_editing ftpqor_foundation ftpqor_platform Qt6::Widgets Qt6::Multimedia)
