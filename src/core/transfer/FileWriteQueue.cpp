#include "transfer/FileWriteQueue.h"

#include <cerrno>
#include <chrono>
#include <new>

namespace varnel {
namespace {

// How long the caller waits for room before it runs its event pump again.
constexpr std::chrono::milliseconds kWaitSlice(20);

} // namespace

FileWriteQueue::FileWriteQueue(std::size_t maxQueuedBytes, const std::atomic<bool> *stop)
    : m_maxQueuedBytes(maxQueuedBytes)
    , m_stop(stop)
{
    if (m_maxQueuedBytes > 0)
        m_thread = std::thread([this] { work(); });
}

FileWriteQueue::~FileWriteQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        dropQueued();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void FileWriteQueue::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || !m_queue.empty(); });
        if (m_stop && *m_stop && !m_queue.empty()) {
            dropQueued();
            m_room.notify_all();
            continue;
        }
        if (m_queue.empty())
            return; // quitting, nothing left
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedBytes -= job.text.size();
        m_writing = true;
        // A caller waiting for room is woken once half the queue is free, not
        // for every file: one wake-up per file would cost more than the file.
        const bool wakeCaller = m_callerWaiting && (m_queue.empty() || m_queuedBytes <= m_maxQueuedBytes / 2);
        lock.unlock();
        if (wakeCaller)
            m_room.notify_all();

        Done done = write(std::move(job)); // the text is freed before the lock is taken

        lock.lock();
        m_writing = false;
        m_done.push_back(std::move(done));
        if (m_callerWaiting && m_queue.empty())
            m_room.notify_all(); // a drain waits for this
    }
}

FileWriteQueue::Done FileWriteQueue::write(Job job)
{
    int error = 0;
    try {
        errno = 0;
        if (!writeArticleFile(job.path, job.text, job.encoding, job.hint))
            error = errno ? errno : EIO;
    } catch (const std::bad_alloc &) {
        error = ENOMEM; // this file only: the run goes on
    }
    return Done{std::move(job.path), job.row, std::move(job.name), error};
}

bool FileWriteQueue::push(Job job, const std::function<void()> &waiting, const std::function<bool()> &cancelled)
{
    if (!m_thread.joinable()) {
        Done done = write(std::move(job));
        std::lock_guard lock(m_mutex);
        m_done.push_back(std::move(done));
        return true;
    }
    std::unique_lock lock(m_mutex);
    // A full queue is let down to half before more is added. A file larger
    // than the whole allowance waits for an empty queue.
    if (!m_queue.empty() && m_queuedBytes + job.text.size() > m_maxQueuedBytes) {
        while (!m_queue.empty()
            && (m_queuedBytes > m_maxQueuedBytes / 2 || m_queuedBytes + job.text.size() > m_maxQueuedBytes)) {
            if (cancelled && cancelled())
                return false;
            waitSlice(lock, waiting);
        }
    }
    m_queuedBytes += job.text.size();
    m_queue.push_back(std::move(job));
    lock.unlock();
    m_wake.notify_one();
    return true;
}

// One slice of the caller's wait for the writer, then the caller's own
// callback with the queue unlocked.
void FileWriteQueue::waitSlice(std::unique_lock<std::mutex> &lock, const std::function<void()> &waiting)
{
    m_callerWaiting = true;
    m_room.wait_for(lock, kWaitSlice);
    m_callerWaiting = false;
    if (waiting) {
        lock.unlock();
        waiting();
        lock.lock();
    }
}

std::vector<FileWriteQueue::Done> FileWriteQueue::takeDone()
{
    std::vector<Done> done;
    std::lock_guard lock(m_mutex);
    done.swap(m_done);
    return done;
}

std::size_t FileWriteQueue::drain(const std::function<void()> &waiting, const std::function<bool()> &dropWhen)
{
    std::unique_lock lock(m_mutex);
    while (!m_queue.empty() || m_writing) {
        if (dropWhen && dropWhen()) {
            dropQueued();
            if (!m_writing)
                break;
        }
        waitSlice(lock, waiting);
    }
    return m_dropped;
}

void FileWriteQueue::dropQueued()
{
    m_dropped += m_queue.size();
    m_queue.clear();
    m_queuedBytes = 0;
}

std::size_t FileWriteQueue::outstanding() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size() + (m_writing ? 1 : 0) + m_done.size();
}

} // namespace varnel
