// File services of the plug-in, one back end per system. A file the plug-in
// reads, copies or changes is opened once and checked as opened, so that a
// pipe, a device or a link put in its place meanwhile is never taken for it.
#pragma once

#include <cstdint>

namespace nrwscc::platform {

// File services report failures with the system's error numbers.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kAlreadyExists = 183;
// Our own number (bit 29 marks an application's): what stands there is no
// plain file on a disk, which no wait changes.
constexpr std::uint32_t kNotAPlainFile = 0x20000001;

// Whether the error is one that another program causes for a moment, by
// holding the file open without sharing it (a virus scanner, an indexer, a
// backup or sync client): the same step may succeed a little later. Errors
// that do not go away (not found, a name too long, a device) are not.
bool is_transient(std::uint32_t error);
// The code page narrow paths are spelt in (the ANSI code page; 0 where every
// byte is a character), for splitting them (path_text.h).
unsigned ansi_code_page();
void pause_ms(std::uint32_t milliseconds);

// The error of asking for the file's attributes; 0 when they could be read.
std::uint32_t attributes_error(const char* path);
// Clears read-only and every other attribute of a plain file. A link, and a
// file with other names (hard links share attributes), are left as they are:
// their attributes belong to a file that is not the one the caller works on.
bool set_normal_attributes(const char* path, std::uint32_t& error);
// Moves a file to a name that must not exist yet; a folder is never moved.
bool move_file_no_replace(const char* from, const char* to, std::uint32_t& error);
// Moves a file over another one, or to a free name.
bool replace_file(const char* from, const char* to, std::uint32_t& error);
bool delete_file(const char* path, std::uint32_t& error);
bool is_folder(const char* path);

// What a path names. `other` is anything no file operation may touch: a pipe,
// a device, or a name the system resolves to a device in any of its forms.
enum class PathKind { nothing, file, folder, other };
PathKind path_kind(const char* path);
// Whether two paths name one file, as a case-only rename does where names
// ignore case.
bool same_file(const char* first, const char* second);
// Copies a plain file, attributes included, to a name that must not exist yet;
// fails, leaving nothing at `to`, for anything else or a copy cut short.
bool copy_file_no_replace(const char* from, const char* to, std::uint32_t& error);
// Whether both are plain files with the same bytes; never waits on a pipe.
// `unreadable` where either could not be opened or read (`error` says why): a
// file that is missing or no plain file compares as different.
enum class Comparison { same, different, unreadable };
Comparison compare_contents(const char* first, const char* second, std::uint32_t& error);
inline bool same_contents(const char* first, const char* second) {
    std::uint32_t error = 0;
    return compare_contents(first, second, error) == Comparison::same;
}
// Which file a path names and what it holds as far as the system tells without
// reading it: equal stamps at two moments mean nobody wrote to it between them.
// Read even while another program holds the file.
struct FileStamp {
    std::uint64_t volume = 0, index = 0, size = 0, written = 0;
    bool operator==(const FileStamp& other) const {
        return volume == other.volume && index == other.index && size == other.size &&
               written == other.written;
    }
};
bool stamp_of(const char* path, FileStamp& stamp);
// The file's attributes (the read-only bit among them), to be put back later;
// written back with the same rule as set_normal_attributes.
bool read_attributes(const char* path, std::uint32_t& attributes);
bool write_attributes(const char* path, std::uint32_t attributes);

}  // namespace nrwscc::platform
