// Scope tracer: one plain-text trace file per process, switched on by the
// environment variable CRVN_NRWAPIS_TRACE_DIR. Users reach it only through its
// member functions, so the library can be bound late.
#ifndef NRWAPIS_TRACER_H
#define NRWAPIS_TRACER_H

#include <cstdio>

#include "nrwapis_export.h"

class NRWAPIS_API NRWAPIS_Tracer {
  public:
    // Writes "<module>::<class>::<method>::Entering" when tracing is on.
    NRWAPIS_Tracer(const char* module_name, const char* class_name, const char* method_name);
    // Writes the matching "Exiting" line.
    ~NRWAPIS_Tracer();
    NRWAPIS_Tracer& operator=(const NRWAPIS_Tracer& other);

    // One printf-style detail line, flushed at once.
#if defined(__GNUC__) && !defined(_WIN32)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    writeTrace(const char* format, ...);

    // Closes the trace file; nothing is traced again in this process.
    static void close_file();

    static bool first_time;
    static bool trace_on;
    static bool file_opened;
    static FILE* m_fd;
    static char* trace_dir;

  private:
    static void open_trace_file();

    const char* m_module;
    const char* m_class;
    const char* m_method;
};

#endif
