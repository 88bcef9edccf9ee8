#pragma once

// The page's API on an HTTP server of the benchmark's own: a meter-year of
// load profile (one group, 15-minute interval) from a SQLite archive as CSV
// and as JSON, and /api/meters with `meters` meters in the status; prints p50
// of each. False when a request failed.
bool apiLatency(int meters);
