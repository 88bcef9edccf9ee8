#pragma once

// /metrics latency with idleConnections open against none; prints the
// figures; false when a request failed or p99 was over 50 ms.
bool metricsLatency(int idleConnections, int requests, int meters);
