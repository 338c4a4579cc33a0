#pragma once

// The numbers of the client library's and the server's errors that the
// program looks at, each under one name: the library's own name (or, for a
// number only MySQL servers give, MySQL's) stands in the comment. The layers
// above the connection see no header of the library; in the connection
// itself ConnectErrors.cpp checks every number against the library's.
namespace varnel::errnum {

// Client library (errmsg.h).
inline constexpr unsigned kSocketConnect = 2002; // CR_CONNECTION_ERROR
inline constexpr unsigned kHostConnect = 2003; // CR_CONN_HOST_ERROR
inline constexpr unsigned kUnknownHost = 2005; // CR_UNKNOWN_HOST
inline constexpr unsigned kServerGone = 2006; // CR_SERVER_GONE_ERROR
inline constexpr unsigned kClientHandshake = 2012; // CR_SERVER_HANDSHAKE_ERR
inline constexpr unsigned kServerLost = 2013; // CR_SERVER_LOST
inline constexpr unsigned kOutOfSync = 2014; // CR_COMMANDS_OUT_OF_SYNC
inline constexpr unsigned kTlsConnect = 2026; // CR_SSL_CONNECTION_ERROR
inline constexpr unsigned kParamsNotBound = 2031; // CR_PARAMS_NOT_BOUND
inline constexpr unsigned kServerLostExtended = 2055; // CR_SERVER_LOST_EXTENDED
inline constexpr unsigned kAuthPluginCannotLoad = 2059; // CR_AUTH_PLUGIN_CANNOT_LOAD

// Server (mysqld_error.h).
inline constexpr unsigned kTooManyConnections = 1040; // ER_CON_COUNT_ERROR
inline constexpr unsigned kServerHandshake = 1043; // ER_HANDSHAKE_ERROR
inline constexpr unsigned kDatabaseAccessDenied = 1044; // ER_DBACCESS_DENIED_ERROR
inline constexpr unsigned kAccessDenied = 1045; // ER_ACCESS_DENIED_ERROR
// A Galera node outside the cluster's primary part says so to everything.
inline constexpr unsigned kNodeNotPrepared = 1047; // ER_UNKNOWN_COM_ERROR
inline constexpr unsigned kNoSuchDatabase = 1049; // ER_BAD_DB_ERROR
inline constexpr unsigned kServerShutdown = 1053; // ER_SERVER_SHUTDOWN
inline constexpr unsigned kDuplicateEntry = 1062; // ER_DUP_ENTRY
inline constexpr unsigned kHostBlocked = 1129; // ER_HOST_IS_BLOCKED
inline constexpr unsigned kHostNotPrivileged = 1130; // ER_HOST_NOT_PRIVILEGED
inline constexpr unsigned kNoSuchGrant = 1141; // ER_NONEXISTING_GRANT
inline constexpr unsigned kNoSuchTableGrant = 1147; // ER_NONEXISTING_TABLE_GRANT
inline constexpr unsigned kNetPacketTooLarge = 1153; // ER_NET_PACKET_TOO_LARGE
inline constexpr unsigned kNetReadError = 1158; // ER_NET_READ_ERROR
inline constexpr unsigned kNetReadInterrupted = 1159; // ER_NET_READ_INTERRUPTED
inline constexpr unsigned kNetWriteError = 1160; // ER_NET_ERROR_ON_WRITE
inline constexpr unsigned kNetWriteInterrupted = 1161; // ER_NET_WRITE_INTERRUPTED
inline constexpr unsigned kTooManyUserConnections = 1203; // ER_TOO_MANY_USER_CONNECTIONS
// An InnoDB deadlock, or on a Galera cluster a conflicting write of another
// node (certification): the statement was given up as a whole.
inline constexpr unsigned kDeadlock = 1213; // ER_LOCK_DEADLOCK
inline constexpr unsigned kUserLimitReached = 1226; // ER_USER_LIMIT_REACHED
inline constexpr unsigned kAuthModeNotSupported = 1251; // ER_NOT_SUPPORTED_AUTH_MODE
inline constexpr unsigned kAccessDeniedNoPassword = 1698; // ER_ACCESS_DENIED_NO_PASSWORD_ERROR
inline constexpr unsigned kMustChangePassword = 1820; // ER_MUST_CHANGE_PASSWORD
inline constexpr unsigned kMustChangePasswordLogin = 1862; // ER_MUST_CHANGE_PASSWORD_LOGIN
inline constexpr unsigned kConnectionKilled = 1927; // ER_CONNECTION_KILLED
inline constexpr unsigned kAccountLocked = 4151; // ER_ACCOUNT_HAS_BEEN_LOCKED

// Numbers of MySQL servers that MariaDB's headers do not name (or use for
// something a connect never meets).
inline constexpr unsigned kMySqlAccountLocked = 3118; // ER_ACCOUNT_HAS_BEEN_LOCKED
inline constexpr unsigned kMySqlSecureTransportRequired = 3159; // ER_SECURE_TRANSPORT_REQUIRED
inline constexpr unsigned kMySqlInactivityTimeout = 4031; // ER_CLIENT_INTERACTION_TIMEOUT

// The connection to the server is gone: whatever was in flight may or may
// not have been done.
constexpr bool meansConnectionGone(unsigned number)
{
    switch (number) {
    case kServerGone:
    case kServerLost:
    case kServerLostExtended:
    case kSocketConnect:
    case kHostConnect:
    case kConnectionKilled:
    case kServerShutdown:
    case kNetReadError:
    case kNetReadInterrupted:
    case kNetWriteError:
    case kNetWriteInterrupted:
    case kNetPacketTooLarge:
        return true;
    default:
        return false;
    }
}

} // namespace varnel::errnum
