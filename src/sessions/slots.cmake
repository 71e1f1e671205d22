# Server slots: the browsing connections of the main window and their remote panes.
if(TARGET ftpqor_ftp_engine)
  ftpqor_library(ftpqor_server_slots
    SOURCES
      HandlerMenus.cpp HandlerMenus.h
      RemoteListing.cpp RemoteListing.h
      RemotePane.cpp RemotePane.h
      SessionLog.h
      ServerSlot.cpp ServerSlot.h
      ServerSlotOperations.cpp
      ServerSlots.cpp ServerSlots.h
    DEPENDS ftpqor_sessions ftpqor_usercmds ftpqor_ftp_engine_ui ftpqor_ftp_engine ftpqor_ftp_listing ftpqor_profiles ftpqor_config ftpqor_editing
            ftpqor_local_pane
            ftpqor_foundation ftpqor_platform Qt6::Widgets)
endif()
