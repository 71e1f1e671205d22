# The engine's status strip and its login-failed dialog.
ftpqor_library(ftpqor_ftp_engine_ui
  SOURCES
    FtpStatusStrip.cpp FtpStatusStrip.h
    frmLogin.cpp frmLogin.h
    LoginFailedDialog.cpp LoginFailedDialog.h
  DEPENDS ftpqor_ftp_engine ftpqor_controls Qt6::Widgets)
