// Embeds a file version into the library or program that expands
// ZER1_EMBED_FILE_VERSION once.  The version text lands in a section of its
// own, ".zer1_version", where VersionText() finds it by reading the file's
// section headers; nothing has to be loaded or run to read it.
//
// Section contents: kFileVersionMarker followed by "major.minor.release.build"
// and a terminating zero byte, e.g. "ZER1-FILE-VERSION 1.0.0.18\0".
#ifndef ZER1_COMMON_FILE_VERSION_NOTE_H
#define ZER1_COMMON_FILE_VERSION_NOTE_H

#define ZER1_FILE_VERSION_SECTION ".zer1_version"
#define ZER1_FILE_VERSION_MARKER "ZER1-FILE-VERSION "

// `version` is a string literal such as "1.0.0.18".  Expand the macro once,
// at namespace scope, in a source file that is compiled straight into the
// library (an object inside a static archive that nothing refers to would be
// left out by the linker).  "used" and "retain" keep the array although
// nothing refers to it.
#define ZER1_EMBED_FILE_VERSION(version)                                     \
    __attribute__((section(ZER1_FILE_VERSION_SECTION), used,                 \
                   retain)) static const char zer1_embedded_file_version[] = \
        ZER1_FILE_VERSION_MARKER version

#endif  // ZER1_COMMON_FILE_VERSION_NOTE_H
