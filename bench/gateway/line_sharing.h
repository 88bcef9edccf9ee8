#pragma once

// (e) the time a request spends in serve's listener beyond the line's own:
// requests reads straight to a loopback TCP meter and as many through a
// listener of serve on that line, back to back and spaced; prints median and
// p99 of both. False when a read failed.
bool listenerCost(int requests);

// (f) and (g): serve polls unit 1 of a 9600-baud line every 2 s and shares
// the line through a listener; its poll period against the setting without a
// master, with one master reading unit 2 flat out for masterSeconds and with
// 16 of them for half that time, and the 16 masters' latencies against one
// request's turn on the line. False when a master got no answer.
bool sharedLinePolls(double masterSeconds);
