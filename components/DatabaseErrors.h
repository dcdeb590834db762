// Texts of the plain database errors (EDatabaseError) of the session and
// database components, and the raise that fills their "%s" with the name
// concerned.
#pragma once

#include <string_view>

namespace ficha {

constexpr std::string_view kSessionNameMissing = "Session name is missing.";
constexpr std::string_view kInvalidSessionName = "Session name %s is not valid.";
constexpr std::string_view kDuplicateSessionName = "Session name %s already exists.";
constexpr std::string_view kSessionActive = "Cannot perform this operation on an active session.";
constexpr std::string_view kAutoSessionActive =
    "Cannot perform this operation on the active auto-session.";
constexpr std::string_view kAutoSessionExclusive =
    "The active auto-session can be the only active session.";
constexpr std::string_view kAutoSessionExists = "This auto-session already exists.";
constexpr std::string_view kDatabaseNameMissing = "Database name is missing.";
constexpr std::string_view kInvalidDatabaseName = "Database name %s is not valid.";
constexpr std::string_view kDuplicateDatabaseName = "Database name %s already exists.";
constexpr std::string_view kDatabaseOpen = "Cannot perform this operation on an open database.";
constexpr std::string_view kDatabaseClosed = "Cannot perform this operation on a closed database.";
constexpr std::string_view kInTransaction = "Database %s already has an active transaction.";
constexpr std::string_view kNotInTransaction = "Database %s has no active transaction.";

// Throws EDatabaseError with `text`, its first "%s" (if any) replaced by
// `name`.
[[noreturn]] void RaiseDatabaseError(std::string_view text, std::string_view name = {});

}  // namespace ficha
