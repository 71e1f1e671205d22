# User-defined FTP commands: the record, its file and the windows that edit them.
ftpqor_library(ftpqor_usercmds
  SOURCES
    UserCommand.cpp UserCommand.h
    UserCommandList.cpp UserCommandList.h
    frmCommandEditor.cpp frmCommandEditor.h
    frmCustomCmd.cpp frmCustomCmd.h
  DEPENDS ftpqor_foundation ftpqor_platform Qt6::Widgets)
