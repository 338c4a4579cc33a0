// Statements sent without waiting for the server: the import prepares its
// next rows while the server stores the last, and every wait pumps events in
// slices so the window stays alive and a stop is seen.
#include "mysql/MySqlConnection.h"
#include "mysql/ServerError.h"

#include <mysql.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace varnel {
namespace {

// How long a wait for a statement in flight goes without pumping events.
constexpr int kWaitSliceMs = 25;
// Prepared statements kept per connection: a run uses one for its full
// batches and one or two for shorter ones.
constexpr std::size_t kPreparedKept = 4;

// The bindings of a prepared statement's values: the library reads the
// lengths through pointers when it sends the values.
struct Binding {
    std::vector<MYSQL_BIND> binds;
    std::vector<unsigned long> lengths;
};

} // namespace

int MySqlConnection::waitFor(int status, int sliceMs)
{
    using Clock = std::chrono::steady_clock;
    pollfd p{};
    p.fd = mysql_get_socket(m_mysql);
    if (status & MYSQL_WAIT_READ)
        p.events |= POLLIN;
    if (status & MYSQL_WAIT_WRITE)
        p.events |= POLLOUT;
    if (status & MYSQL_WAIT_EXCEPT)
        p.events |= POLLPRI;
    // The library asks for a timeout where it has one; otherwise ours holds,
    // so that a server that stopped answering cannot hang the program. The
    // deadline holds across the slices of one wait.
    const bool libraryTimeout = (status & MYSQL_WAIT_TIMEOUT) != 0;
    int pollMs = 0;
    if (sliceMs != 0) {
        if (!m_waitDeadline) {
            const auto ms = libraryTimeout
                ? std::chrono::milliseconds(mysql_get_timeout_value_ms(m_mysql))
                : std::chrono::milliseconds(std::min<unsigned>(m_timeoutSeconds, 86400U) * 1000LL);
            m_waitDeadline = Clock::now() + ms;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_waitDeadline - Clock::now()).count();
        pollMs = static_cast<int>(std::max<long long>(0, sliceMs > 0 ? std::min<long long>(sliceMs, left) : left));
    }
    int n;
    do
        n = ::poll(&p, 1, pollMs);
    while (n < 0 && errno == EINTR);
    if (n == 0) {
        if (sliceMs == 0 || Clock::now() < *m_waitDeadline)
            return 0;
        m_waitDeadline.reset();
        if (libraryTimeout)
            return MYSQL_WAIT_TIMEOUT;
        // Make the library see the connection as broken.
        ::shutdown(p.fd, SHUT_RDWR);
        return status & (MYSQL_WAIT_READ | MYSQL_WAIT_WRITE);
    }
    m_waitDeadline.reset();
    int ready = 0;
    if (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))
        ready |= MYSQL_WAIT_READ;
    if (p.revents & (POLLOUT | POLLHUP | POLLERR | POLLNVAL))
        ready |= MYSQL_WAIT_WRITE;
    if (p.revents & POLLPRI)
        ready |= MYSQL_WAIT_EXCEPT;
    return ready;
}

bool MySqlConnection::startStatement(std::string statement)
{
    std::string_view text = statement;
    if (!prepareToSend(text))
        return false;
    statement.resize(text.size());
    // The library goes on sending from this memory after we return: it
    // lives here until the statement has completed.
    m_inFlightText = std::move(statement);
    m_settled.reset();
    m_asyncResult = 0;
    m_asyncStarted = true;
    m_waitDeadline.reset();
    m_asyncStatus = mysql_real_query_start(
        &m_asyncResult, m_mysql, m_inFlightText.data(), static_cast<unsigned long>(m_inFlightText.size()));
    return true;
}

MYSQL_STMT *MySqlConnection::preparedHandle(std::string_view statement)
{
    const auto kept =
        std::find_if(m_prepared.begin(), m_prepared.end(), [&](const Prepared &p) { return p.text == statement; });
    if (kept != m_prepared.end()) {
        std::rotate(kept, kept + 1, m_prepared.end());
        return m_prepared.back().handle;
    }
    if (m_prepared.size() >= kPreparedKept) {
        mysql_stmt_close(m_prepared.front().handle);
        m_prepared.erase(m_prepared.begin());
    }
    MYSQL_STMT *handle = mysql_stmt_init(m_mysql);
    if (!handle)
        return nullptr;
    if (mysql_stmt_prepare(handle, statement.data(), static_cast<unsigned long>(statement.size())) != 0) {
        m_refusal = mysql_stmt_error(handle);
        m_refusalNumber = mysql_stmt_errno(handle);
        mysql_stmt_close(handle);
        return nullptr;
    }
    m_prepared.push_back({std::string(statement), handle});
    return handle;
}

void MySqlConnection::closePrepared()
{
    for (const Prepared &p : m_prepared)
        mysql_stmt_close(p.handle);
    m_prepared.clear();
}

bool MySqlConnection::startPrepared(
    std::string_view statement, std::vector<std::string_view> values, std::shared_ptr<const void> owner)
{
    if (!prepareToSend(statement))
        return false;
    MYSQL_STMT *handle = preparedHandle(statement);
    if (!handle)
        return false;
    if (mysql_stmt_param_count(handle) != values.size()) {
        m_refusal = "参数个数与语句不符";
        m_refusalNumber = errnum::kParamsNotBound;
        return false;
    }
    auto binding = std::make_shared<Binding>();
    binding->binds.resize(values.size());
    binding->lengths.resize(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        MYSQL_BIND &b = binding->binds[i];
        std::memset(&b, 0, sizeof b);
        binding->lengths[i] = static_cast<unsigned long>(values[i].size());
        b.buffer_type = MYSQL_TYPE_STRING;
        // The library only reads the values.
        b.buffer = const_cast<char *>(values[i].data());
        b.buffer_length = binding->lengths[i];
        b.length = &binding->lengths[i];
    }
    if (!values.empty() && mysql_stmt_bind_param(handle, binding->binds.data()) != 0) {
        m_refusal = mysql_stmt_error(handle);
        m_refusalNumber = mysql_stmt_errno(handle);
        return false;
    }
    if (m_boundObserver) {
        std::size_t bytes = 0;
        for (const std::string_view v : values)
            bytes += v.size();
        m_boundObserver(values.size(), bytes);
    }
    // Both live until the statement has completed.
    m_inFlightOwner = std::move(owner);
    m_inFlightBinding = std::move(binding);
    m_inFlightStmt = handle;
    m_settled.reset();
    m_asyncResult = 0;
    m_asyncStarted = true;
    m_waitDeadline.reset();
    m_asyncStatus = mysql_stmt_execute_start(&m_asyncResult, handle);
    return true;
}

// One step of whichever statement is in flight.
int MySqlConnection::continueInFlight(int ready)
{
    return m_inFlightStmt ? mysql_stmt_execute_cont(&m_asyncResult, m_inFlightStmt, ready)
                          : mysql_real_query_cont(&m_asyncResult, m_mysql, ready);
}

void MySqlConnection::advanceStatement()
{
    if (m_asyncStatus == 0)
        return;
    // Only as far as the socket allows without waiting.
    for (int ready; m_asyncStatus != 0 && (ready = waitFor(m_asyncStatus, 0)) != 0;)
        m_asyncStatus = continueInFlight(ready);
}

void MySqlConnection::settleInFlight()
{
    if (!m_asyncStarted)
        return;
    // A statement sent from the pump below waits here without pumping.
    const bool pumpHere = m_waitPump && !m_pumping;
    while (m_asyncStatus != 0 && m_asyncStarted) {
        int ready = 0;
        if (pumpHere) {
            ready = waitFor(m_asyncStatus, kWaitSliceMs);
            if (ready == 0) {
                m_pumping = true;
                m_waitPump();
                m_pumping = false;
                continue;
            }
        } else {
            do
                ready = waitFor(m_asyncStatus, -1);
            while (ready == 0);
        }
        m_asyncStatus = continueInFlight(ready);
    }
    if (!m_asyncStarted)
        return; // settled by a statement sent from the pump
    m_asyncStarted = false;
    m_inFlightText = std::string();
    m_settled = m_asyncResult == 0;
    if (MYSQL_STMT *handle = std::exchange(m_inFlightStmt, nullptr)) {
        m_inFlightOwner.reset();
        m_inFlightBinding.reset();
        // The statement's own error, where lastError() finds it.
        if (!*m_settled) {
            m_refusal = mysql_stmt_error(handle);
            m_refusalNumber = mysql_stmt_errno(handle);
        }
        return;
    }
    // Statements sent this way return no rows; should one, they are dropped
    // so that the connection stays usable.
    if (*m_settled && mysql_field_count(m_mysql) > 0) {
        if (MYSQL_RES *r = mysql_store_result(m_mysql))
            mysql_free_result(r);
    }
}

bool MySqlConnection::finishStatement()
{
    settleInFlight();
    const bool ok = m_settled.value_or(false);
    m_settled.reset();
    return ok;
}

} // namespace varnel
