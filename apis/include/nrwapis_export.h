/* Symbol visibility of the client library's public interface. */
#ifndef NRWAPIS_EXPORT_H
#define NRWAPIS_EXPORT_H

#if defined(_WIN32)
#if defined(NRWAPIS_BUILDING)
#define NRWAPIS_API __declspec(dllexport)
#elif defined(NRWAPIS_DELAY_LOADED)
/* Bound through a delay-load import library: calls must go through its thunks,
   which a dllimport declaration would bypass. */
#define NRWAPIS_API
#else
#define NRWAPIS_API __declspec(dllimport)
#endif
#define NRWAPIS_CALL __cdecl
#else
#define NRWAPIS_API __attribute__((visibility("default")))
#define NRWAPIS_CALL
#endif

#endif
