#pragma once

#include "util/UniqueFd.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnel {

// A store of sections of key=value lines in one GB18030 (GBK) text file,
// bound to the file for its whole life and edited in place: every write
// changes the in-memory text and the same bytes of the file at once.
//
// Keys, values and section names cross this interface as UTF-8. Lookups work
// on the file's own bytes, so files written by other programs keep every byte
// that is not written here.
//
// The file is locked (flock, exclusive) while bound. A store that cannot get
// the lock, or cannot open the file for writing, works on its in-memory text
// only and never writes the file.
//
// The file holds the password: the store creates it, its journal and its side
// files readable by the owner only (an existing file keeps its mode).
class SettingsStore {
public:
    SettingsStore() = default;
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // Closes whatever is open, loads the file (empty text when it cannot be
    // read) and binds to it, creating it when missing. True when the file is
    // open for writing.
    bool open(const std::filesystem::path &path);
    void close();
    // Loads the file without binding to it for writing: the store never
    // touches the file (what a reader such as the command line wants).
    void openReadOnly(const std::filesystem::path &path);
    // The same with the file's text already read (and checked) by the caller.
    void openReadOnly(const std::filesystem::path &path, std::string text);

    bool isBound() const { return !m_path.empty(); }
    // True when writes reach the file.
    bool writesToDisk() const { return m_fd.isOpen(); }
    // Why the last open() left the file alone (errno; EWOULDBLOCK: another
    // store holds the lock), 0 when writes reach it.
    int openError() const { return m_openError; }
    // The errno of the first edit since open() that did not reach the file,
    // 0 while every edit has.
    int writeError() const { return m_writeError; }
    const std::filesystem::path &path() const { return m_path; }
    // The whole store as stored (GB18030 bytes).
    // (With the writes of a running batch carried out.)
    const std::string &rawText()
    {
        applyBatched();
        return m_text;
    }

    void setSection(std::string_view name);
    const std::string &section() const { return m_section; }
    // Whether the text has a section of that name (a header line "[name]").
    bool hasSection(std::string_view name);

    // Writes report true when carried out (bytes: false when the side file
    // could not be written).
    bool writeText(std::string_view key, std::string_view value);
    std::string readText(std::string_view key, std::string_view defaultValue = {});
    // The text as stored, an empty one too; nothing when the key is not in
    // the section.
    std::optional<std::string> readStoredText(std::string_view key);
    bool writeNumber(std::string_view key, double value);
    double readNumber(std::string_view key, double defaultValue = 0);
    bool writeBool(std::string_view key, bool value);
    bool readBool(std::string_view key, bool defaultValue = false);
    bool writeBytes(std::string_view key, std::string_view bytes);
    std::string readBytes(std::string_view key, std::string_view defaultValue = {});

    // Writes made while a Batch lives reach the text and the file together
    // when the last batch ends (or before a read needs them): a window's
    // thousands of keys then cost one pass over the section and one write of
    // the file instead of one of each per key. The result is byte for byte
    // what the writes one by one would have made. Bytes values (side files)
    // are written at once as always.
    class Batch {
    public:
        explicit Batch(SettingsStore &store)
            : m_store(store)
        {
            ++m_store.m_batchDepth;
        }
        ~Batch() { m_store.endBatch(); }
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        SettingsStore &m_store;
    };

    // The side file that holds a bytes value.
    std::filesystem::path sideFilePath(std::string_view key) const;

    // Number encoding: "%.13g" and the longest leading decimal number.
    static std::string formatNumber(double value);
    static double parseNumber(std::string_view text);

private:
    struct Request {
        std::string section; // GB18030
        std::string key; // GB18030
        std::string value; // GB18030
    };

    // The raw (GB18030) value of the key in the current section; the
    // default for a missing key or an empty value.
    std::string readEntry(std::string_view key, std::string_view defaultValue);
    // The raw value as it is, empty or not; nothing for a missing key.
    std::optional<std::string> storedEntry(std::string_view key);
    // Where each key of one section starts (the CR LF before "key="), the
    // first line of a key winning, so a restore of thousands of keys does
    // not scan the section once per key. Built on the first read of a
    // section and dropped whenever the text changes.
    struct EntryIndex {
        std::string header; // "[name]" as GB18030, empty: no index
        std::size_t headerPos = std::string::npos;
        std::unordered_map<std::string, std::size_t> entries;
    };
    const EntryIndex &entryIndex(const std::string &header);
    // A write of a raw value: carried out, or noted for the batch.
    bool writeEntry(std::string_view key, std::string_view value);
    void carryOut(const Request &request);
    // Changes the text and, when bound for writing, the file (in a batch:
    // notes what changed for the one write at its end).
    void edit(std::size_t offset, std::size_t removed, std::string_view inserted);
    void endBatch();
    // Carries out the writes a batch holds; the file waits for the batch.
    void applyBatched();
    // The writes of one section in one pass; false (nothing done) where the
    // section's text is not plain enough to be sure of the same result.
    bool applyToSection(const std::vector<Request> &requests, std::size_t from, std::size_t to);
    // Writes what the batch changed to the file.
    void writeDeferred();

    std::filesystem::path m_path;
    std::string m_text;
    EntryIndex m_index;
    UniqueFd m_fd; // open, and locked, while writes reach the file
    int m_openError = 0;
    int m_writeError = 0;
    std::string m_section; // UTF-8
    int m_batchDepth = 0;
    std::vector<Request> m_batched;
    std::size_t m_dirtyFrom = static_cast<std::size_t>(-1); // first byte a batch changed
    std::size_t m_fileSize = 0; // the file's size when the batch first changed the text
};

} // namespace varnel
