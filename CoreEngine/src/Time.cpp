// Timer on the performance counter, falling back to the tick count.
#include "Time.h"

#include "platform/Kernel.h"

namespace {
const char kDashes66[] = "------------------------------------------------------------------\n";
}

CQNDXTime::CQNDXTime() : CQNDXTime(1) {}

CQNDXTime::CQNDXTime(int highResolution)
    : m_bHighResolution(0), m_bRunning(0), m_dwStartTick(0), m_dwEndTick(0), m_bStarted(0) {
    m_StartCounter.QuadPart = 0;
    m_EndCounter.QuadPart = 0;
    m_Frequency.QuadPart = 0;
    SetHighResolution(highResolution);
}

CQNDXTime::~CQNDXTime() {}

void CQNDXTime::SetHighResolution(int want) {
    if (!want) return;
    LARGE_INTEGER frequency;
    // A counter that reports no positive frequency cannot measure anything.
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0) {
        m_Frequency = frequency;
        m_bHighResolution = 1;
    }
}

void CQNDXTime::__Sample(LARGE_INTEGER* counter, DWORD* tick) const {
    if (m_bHighResolution)
        QueryPerformanceCounter(counter);
    else
        *tick = GetTickCount();
}

float CQNDXTime::__Seconds(const LARGE_INTEGER& fromCounter, DWORD fromTick, const LARGE_INTEGER& toCounter,
                           DWORD toTick) const {
    if (m_bHighResolution) {
        const LONGLONG counts = toCounter.QuadPart - fromCounter.QuadPart;
        return (float)((double)counts / (double)m_Frequency.QuadPart);
    }
    // Signed 32-bit difference: a wrap of the tick count between the two
    // samples still gives the small positive interval.
    const int32_t ms = (int32_t)(toTick - fromTick);
    return (float)ms / 1000.0f;
}

void CQNDXTime::Start() {
    m_bRunning = 1;
    m_bStarted = 1;
    __Sample(&m_StartCounter, &m_dwStartTick);
}

void CQNDXTime::Stop() {
    __Sample(&m_EndCounter, &m_dwEndTick);
    m_bRunning = 0;
}

float CQNDXTime::GetElapsed() {
    // Never started: there is no start sample to measure from.
    if (!m_bStarted) return 0.0f;
    __Sample(&m_EndCounter, &m_dwEndTick);
    return __Seconds(m_StartCounter, m_dwStartTick, m_EndCounter, m_dwEndTick);
}

float CQNDXTime::Lap() {
    if (!m_bRunning) return 0.0f;
    LARGE_INTEGER nowCounter = m_StartCounter;
    DWORD nowTick = m_dwStartTick;
    __Sample(&nowCounter, &nowTick);
    const float elapsed = __Seconds(m_StartCounter, m_dwStartTick, nowCounter, nowTick);
    m_StartCounter = nowCounter;
    m_dwStartTick = nowTick;
    return elapsed;
}

void CQNDXTime::Dump(std::ostream& os) const {
    os << kDashes66;
    os << "CQNDXTime@" << static_cast<const void*>(this);
    // The opening quote without a closing one is how this dump has always
    // looked; readers of old dumps match it.
    os << "\nIs Running: \"" << m_bRunning << "  Is a HRC: " << m_bHighResolution << "\n";
    if (m_bHighResolution)
        os << "Start Time: " << m_StartCounter.QuadPart << "  End Time: " << m_EndCounter.QuadPart << "\n";
    else
        os << "Start Time: " << m_dwStartTick << "  End Time: " << m_dwEndTick << "\n";
    os << kDashes66;
}
