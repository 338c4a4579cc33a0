#pragma once

#include "text/ArticleFile.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace varnel {

// Writes article files on a thread of its own, one after the other in the
// order they were queued, so that an export reads its next rows from the
// server while the last ones go to disk. The thread only encodes and writes;
// everything the caller sees (counts, names, messages) stays on the caller's
// thread, which collects what was written with takeDone().
//
// At most about `maxQueuedBytes` of text wait in the queue (a larger file
// alone is still taken), which bounds the memory the queue adds to a run.
// With 0 there is no thread: push() writes the file before it returns.
class FileWriteQueue {
public:
    struct Job {
        std::string path;
        std::string text; // UTF-8, encoded on the writing thread
        ArticleEncoding encoding = ArticleEncoding::Detect;
        std::int64_t row = 0; // the caller's, handed back
        std::string name; // the caller's, handed back
        TargetHint hint = TargetHint::Unknown;
    };
    struct Done {
        std::string path;
        std::int64_t row = 0;
        std::string name;
        int error = 0; // errno of a failed write; 0 when the file was written
    };

    // Once `*stop` is true the writing thread takes no further file: what
    // waits in the queue is dropped, and only the file in hand is finished.
    explicit FileWriteQueue(std::size_t maxQueuedBytes = 8u << 20, const std::atomic<bool> *stop = nullptr);
    // Drops what has not been started and waits for the file being written.
    ~FileWriteQueue();
    FileWriteQueue(const FileWriteQueue &) = delete;
    FileWriteQueue &operator=(const FileWriteQueue &) = delete;

    // Queues a file. While the queue is full it waits in short slices and
    // calls `waiting` between them (the caller's event pump); `cancelled`
    // ends the wait early, and the job is then dropped and false returned.
    // `cancelled` is asked with the queue locked and may not call it.
    bool push(Job job, const std::function<void()> &waiting = {}, const std::function<bool()> &cancelled = {});

    // The files finished since the last call, in the order they were queued.
    std::vector<Done> takeDone();

    // Waits until nothing is queued or being written, calling `waiting`
    // between slices. Once `dropWhen` says so the files not started yet are
    // dropped unwritten (they never come back from takeDone); the file being
    // written is always finished. Returns how many files were dropped in
    // all, by a stop as well. Neither
    // callback may call the queue; `dropWhen` is asked with the queue locked.
    std::size_t drain(const std::function<void()> &waiting = {}, const std::function<bool()> &dropWhen = {});

    // Files queued and not yet handed back by takeDone().
    std::size_t outstanding() const;

private:
    void work();
    Done write(Job job); // on the writing thread (or the caller's, without one)

    void dropQueued(); // with the lock held
    void waitSlice(std::unique_lock<std::mutex> &lock, const std::function<void()> &waiting);

    const std::size_t m_maxQueuedBytes;
    const std::atomic<bool> *m_stop;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake; // the writer: a job or the end
    std::condition_variable m_room; // the caller: room in the queue, or a job done
    std::deque<Job> m_queue;
    std::size_t m_queuedBytes = 0;
    bool m_writing = false;
    bool m_callerWaiting = false; // push() or drain() waits on m_room
    bool m_quit = false;
    std::vector<Done> m_done;
    std::size_t m_dropped = 0;
    std::thread m_thread; // last: started when everything above is ready
};

} // namespace varnel
