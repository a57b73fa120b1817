// One burst of a simulated card: armed, running, paused, ended, on kdsim's clock.
#ifndef KDSIM_BURST_H
#define KDSIM_BURST_H

namespace kdsim::detail {

// One generation run of a card. Running time accumulates only while the
// burst is neither paused nor waiting for its trigger.
struct Burst {
    bool active = false;
    bool triggered = false; // started by trigger: waits for a pulse, re-arms after each limited run
    bool waiting = false;
    bool paused = false;
    int channels = 0; // bit 0 channel 1, bit 1 channel 2
    int nSam = 0;
    int cycles = 0;   // 0 = unlimited
    double rate = 0;
    double runMs = 0;   // running time before runStart
    double runStart = 0;

    bool running() const { return active && !waiting && !paused; }
    double elapsed(double now) const { return runMs + (running() ? now - runStart : 0); }
    // Ends (or re-arms) the burst when its running time is over at `now`.
    void update(double now);
    void pause(double now);
    void resume(double now);
    void trigger(double now);
};

} // namespace kdsim::detail

#endif
