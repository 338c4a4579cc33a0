#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace varnel {

// The journal that keeps every change of a settings file whole across a
// kill: the new tail of the file is first written to a journal beside it,
// then written in place, then the journal is removed; opening the store
// replays a complete journal left behind.
//
// A journal holds a magic line, the offset of the change and the file's new
// size (a decimal line each), the new tail, and an end mark; one that is cut
// anywhere is not complete and is dropped.

// The journal beside a settings file: its path with ".journal" appended.
std::filesystem::path journalPath(const std::filesystem::path &file);

// Writes the change of `file` (open and locked as `fd`) whose new text is
// `text`, changed from `offset` on and `oldSize` bytes long before. 0 when
// the change reached the file, otherwise the errno (EIO when none was set).
// A journal whose change did not reach the file is kept for the next open.
int writeThroughJournal(
    int fd, const std::filesystem::path &file, std::string_view text, std::size_t offset, std::size_t oldSize);

// Replays a complete journal left beside `file` (open and locked as `fd`) and
// removes it; an incomplete one is removed without touching the file. A
// complete journal that could not be replayed is kept.
void replayJournal(int fd, const std::filesystem::path &file);

} // namespace varnel
