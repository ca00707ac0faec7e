// Frame and polling timer. Measures elapsed seconds as a float from the
// performance counter when one is asked for and present, and from the
// millisecond tick count otherwise. The main loop, the video engine's frame
// counter and the input engine's polling periods each keep their own.
#pragma once

#include <ostream>

#include "platform/Types.h"

class CQNDXTime {
public:
    CQNDXTime();
    explicit CQNDXTime(int highResolution);
    virtual ~CQNDXTime();

    virtual void Dump(std::ostream& os) const;

    // Switches to the performance counter when `want` is non-zero and the
    // platform has one; otherwise the mode stays as it was.
    void SetHighResolution(int want);
    int IsHighResolution() const { return m_bHighResolution; }
    int IsRunning() const { return m_bRunning; }

    void Start();
    void Stop();
    // Seconds from Start to now; never resets the start.
    float GetElapsed();
    // Seconds from Start to now, and the start moves to now.
    float Lap();

private:
    float __Seconds(const LARGE_INTEGER& fromCounter, DWORD fromTick, const LARGE_INTEGER& toCounter,
                    DWORD toTick) const;
    void __Sample(LARGE_INTEGER* counter, DWORD* tick) const;

    int m_bHighResolution;
    int m_bRunning;
    LARGE_INTEGER m_StartCounter;
    LARGE_INTEGER m_EndCounter;
    LARGE_INTEGER m_Frequency;
    DWORD m_dwStartTick;
    DWORD m_dwEndTick;
    // Set once Start has run: a timer that never started measures nothing.
    int m_bStarted;
};
