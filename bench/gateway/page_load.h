#pragma once

// (i) The gateway's page in Debian's chromium, headless: `serve` over
// `meters` simulated TCP meters, the time from chromium's start until `/`
// shows them all (its title set after the meters table is filled), median of
// 5, against chromium's start until about:blank; and the sizes of `/` and
// /api/meters. False when a step failed
// (true, saying so, without chromium).
bool pageLoad(int meters);
