#pragma once

// Transactions group layer changes. Here they carry the one setting the app reads: the duration
// that animations made inside them take. Outside any transaction, and inside one that does not set
// it, the duration is the platform's 0.25 seconds; transactions nest, each starting from the
// duration of the one around it. Main thread only.

class CATransaction {
public:
    static constexpr double defaultAnimationDuration = 0.25;

    static void begin();
    // Ends the innermost transaction; a commit without a begin does nothing.
    static void commit();
    static double animationDuration();
    // Sets the duration of the innermost transaction; outside one it changes nothing.
    static void setAnimationDuration(double seconds);
};
