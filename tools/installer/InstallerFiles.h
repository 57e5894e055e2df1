#pragma once

// Path and file steps of the installer. Runs as root; never trust its input: every path
// here comes from the command line.

#include <string>

// Paths are plain strings with "/" as the only separator.

// The text after the last "/", or the whole path when it has none.
std::string lastPathComponent(const std::string &path);
// dir, "/", name; the slash is inserted even when dir already ends with one.
std::string joinPath(const std::string &dir, const std::string &name);
// The text before the last "/"; "/" when the path has no "/" or only a leading one.
std::string parentPath(const std::string &path);

// Prints "creating directory <path>" on standard error for the path and then for each
// missing ancestor, deepest first, up to the first one that exists; then creates the
// missing levels from the top down with mode 0555. Creation results are not examined: a
// directory that could not be made shows up when the copy into it fails.
void makeDirectories(const std::string &path);

// Copies the regular file source to target byte for byte and returns the target, still
// open, so its owner and mode are set on the file that was written and not on whatever
// the path names by then. The target is never reached through a symbolic link, must be a
// regular file with a single name when it exists already, and is then replaced by a new
// file rather than written into. Returns -1 with errno set when no complete copy was made.
int copyFile(const std::string &source, const std::string &target);

// Makes the open file owned by root (group unchanged) with mode 04555, then closes it.
// Returns false with errno set when any step fails; the descriptor is closed either way.
bool makeSetuidRoot(int fd);
