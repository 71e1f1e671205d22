# The splash window: shown by the first instance, brings up the main window, fades out.
ftpqor_library(ftpqor_splash
  SOURCES frmSplash.cpp frmSplash.h
  DEPENDS ftpqor_foundation Qt6::Widgets)
