# libFuzzer target for the engine's reply reader and reply-code matching (clang only):
#   build-fuzz/tests/fuzz/reply_reader_fuzz -max_total_time=60
ftpqor_fuzz_target(reply_reader_fuzz ReplyReaderFuzz.cpp ftpqor_ftp_engine)
