# libFuzzer target for the directory-listing parser (clang only):
#   build-fuzz/tests/fuzz/listing_parser_fuzz -max_total_time=60
ftpqor_fuzz_target(listing_parser_fuzz ListingParserFuzz.cpp ftpqor_ftp_listing)
