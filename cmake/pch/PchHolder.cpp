// An object library needs one source of its own; the precompiled header it
// exists for is built beside this file.
