#pragma once

// How long the site status waits for what: the program's values, in this one
// place. Tests give shorter ones.
struct PresenceTimings {
    int firstRetryMs = 2 * 1000; // then 4, 8, 16 ... seconds
    int longestRetryMs = 5 * 60 * 1000;
    // A site that takes longer than this to answer is taken as out of reach,
    // so the request can be tried again instead of hanging on a dead connection.
    int answerTimeoutMs = 30 * 1000;
    int longestSleepHoldMs = 3 * 1000;
    int idleAfterMs = 10 * 60 * 1000;
    int lookWhileIdleMs = 1000;
    int unheardMessageAfterMs = 2 * 60 * 1000;
};
