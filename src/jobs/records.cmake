# The job record, collection, job files and the intake interface.
ftpqor_library(ftpqor_job_records
  SOURCES
    EditSnapshots.cpp EditSnapshots.h
    FtpTask.cpp FtpTask.h
    FtpTaskCollection.cpp FtpTaskCollection.h
    JobFile.cpp JobFile.h
    JobIntake.h
    JobsFromRows.cpp JobsFromRows.h
    SaveTasks.cpp SaveTasks.h
  DEPENDS ftpqor_foundation ftpqor_platform Qt6::Core Qt6::Widgets)
