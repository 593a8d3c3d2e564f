#pragma once
// The process-wide cancel request: the stand-in for "was Escape pressed".
//
// The interface sets it when the user presses Esc, the command-line tool when
// it receives SIGINT (RequestCancel is async-signal-safe). Long work polls it
// where it would poll the Escape key.

namespace tx {

/// Records a cancel request. Safe to call from a signal handler.
void RequestCancel();

/// True when a cancel was requested since the last poll; clears the request.
bool PollCancel();

/// Drops a pending request without reporting it (before new work starts).
void ClearCancel();

}  // namespace tx
