# Site profiles and their editor, the quick-connect list and the folder histories.
ftpqor_library(ftpqor_profiles
  SOURCES
    CProfile.cpp CProfile.h
    FrmProfile.cpp FrmProfile.h
    frmQuickCon.cpp frmQuickCon.h
    ModProfile.cpp ModProfile.h
    PathHistory.cpp PathHistory.h
    ProfileDialogHeader.cpp ProfileDialogHeader.h
    ProfileRecordFile.cpp ProfileRecordFile.h
  DEPENDS ftpqor_foundation ftpqor_platform Qt6::Core Qt6::Gui Qt6::Widgets)
