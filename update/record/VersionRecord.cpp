// The version record of an executable (see update/FileVersion.h). Linked into every program as
// an object of its own so that nothing needs to reference it; QM_FILE_VERSION_TEXT is set by the
// build ("a.b.c.d").
#ifndef QM_FILE_VERSION_TEXT
#error "QM_FILE_VERSION_TEXT must be defined by the build"
#endif

[[gnu::used, gnu::section(".qm_version")]] extern const char kQuillmossVersionRecord[] =
    "@(#)quillmoss file version " QM_FILE_VERSION_TEXT;
